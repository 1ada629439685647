#!/usr/bin/python3
'''The kill-point sweep's driver: scripts/sweep.sh builds what it needs and runs this.

    sweep.py RUNS SEED BUILD_DIR [USERS]

Run i uses the seed SEED + i, so "sweep.sh 1 SEED+i" plays that run again.
With USERS 2 a second user (a uid of its own, or the same user with other
settings folders) starts its own change while the first one's road runs,
and may be killed too; both users' next starts run before the checks.
Each run takes a road into an altered date (the window's Set through
--date, a Quickset menu item, --at), kills a victim (the program, its guard,
both, the whole process group) with SIGKILL at a random moment or while a
call to the time service is unanswered, lets what survived end, starts the
program again and checks that the real date is back, sync is on, no restore
record is left and only the guard set the clock.

Everything runs on the fake clock, without the right to set the real one,
against the slow stand-in timedated on a system bus of the sweep's own.
'''

import ctypes
import datetime
import functools
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

import dbus

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)
TEMPLATE = os.path.join(HERE, 'timedated_slow.py')
TIMEDATE = 'org.freedesktop.timedate1'
CAP_SYS_TIME = 25
ROADS = ('set', 'quickset', 'at')
VICTIMS = ('program', 'guard', 'both', 'group')
QUICKSET_DAYS = (1, 14, 21, 30, 60, 90, 120, 150, 180, 365, 730)
# Long enough for a guard that answers a late call and then undoes.
ENDING_TIMEOUT = 20.0
# Longer than a guard takes to start under load.
GUARD_WAIT = 5.0
# The second user: another uid where the sweep runs as root, else the first one's with other folders.
SECOND_UID = 65534
SECOND_ROADS = ('at', 'set')
SECOND_VICTIMS = ('nothing', 'program', 'guard', 'both')


def quickset_item(rng):
    days = rng.choice(QUICKSET_DAYS)
    return ('menuMinus' if rng.random() < 0.5 else 'menuPlus') + str(days) + ('day' if days == 1 else 'days')


def may_set_clock():
    with open('/proc/self/status') as status:
        for line in status:
            name, _, value = line.partition(':')
            # Root gains whatever its bounding set allows.
            watched = ('CapEff', 'CapPrm', 'CapBnd') if os.geteuid() == 0 else ('CapEff', 'CapPrm')
            if name in watched and (int(value, 16) >> CAP_SYS_TIME) & 1:
                return True
    return False


LIBC = ctypes.CDLL(None, use_errno=True)
PR_SET_PDEATHSIG = 1
PR_SET_CHILD_SUBREAPER = 36


def die_with_sweep():
    '''The bus and its stand-in end with the sweep, however it ends.'''
    LIBC.prctl(PR_SET_PDEATHSIG, signal.SIGTERM, 0, 0, 0)


def session_members(sid):
    '''The processes of a run: the program started each run in a session of its own.'''
    members = []
    for entry in os.listdir('/proc'):
        if not entry.isdigit():
            continue
        try:
            with open(f'/proc/{entry}/stat') as f:
                stat = f.read()
        except OSError:
            continue
        fields = stat[stat.rindex(')') + 2:].split()
        # state ppid pgrp session ...; a zombie is reaped, not counted.
        if int(fields[3]) == sid and fields[0] != 'Z':
            members.append((int(entry), stat[stat.index('(') + 1:stat.rindex(')')]))
    return members


@functools.lru_cache(maxsize=None)
def built(build, name):
    '''Where the build put a target, wherever its folder is in the tree.'''
    for folder, _, files in os.walk(build):
        if name in files and not folder.endswith('CMakeFiles'):
            return os.path.join(folder, name)
    raise SystemExit(f'sweep: {name} is not in {build}')


def reap():
    '''Orphans of a run come to this process (a subreaper): reaped here.'''
    while True:
        try:
            pid, _ = os.waitpid(-1, os.WNOHANG)
        except ChildProcessError:
            return
        if pid == 0:
            return


class Bus:
    '''dbus-daemon and the slow stand-in timedated, as tests/support/privatebus.cpp starts them.'''

    def __init__(self, root):
        self.dir = os.path.join(root, 'bus')
        os.mkdir(self.dir)
        with open(os.path.join(self.dir, 'bus.conf'), 'w') as conf:
            conf.write(f'<busconfig><listen>unix:path={self.dir}/bus</listen><auth>EXTERNAL</auth>'
                       '<policy context="default"><allow user="*"/><allow own="*"/>'
                       '<allow send_destination="*"/><allow eavesdrop="true"/></policy></busconfig>\n')
        self.address = f'unix:path={self.dir}/bus'
        self.calls = os.path.join(self.dir, 'calls')
        log = open(os.path.join(self.dir, 'daemon.log'), 'w')
        self.daemon = subprocess.Popen(['/usr/bin/dbus-daemon', f'--config-file={self.dir}/bus.conf', '--nofork'],
                                       stdout=log, stderr=log, preexec_fn=die_with_sweep)
        self._wait(lambda: os.path.exists(f'{self.dir}/bus'), 'dbus-daemon')
        parameters = ('{"NTP": true, "CanNTP": true, "PolkitAllows": true, "FailFirst": "", '
                      f'"Log": "{self.calls}"}}')
        log = open(os.path.join(self.dir, 'timedated.log'), 'w')
        # -B there too: nothing written beside the templates in the source tree.
        env = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=self.address, PYTHONDONTWRITEBYTECODE='1')
        self.timedated = subprocess.Popen(['/usr/bin/python3', '-m', 'dbusmock', '--system', '--template', TEMPLATE,
                                           '-p', parameters], stdout=log, stderr=log, env=env,
                                          preexec_fn=die_with_sweep)
        self._wait(lambda: os.path.exists(self.calls), 'the stand-in timedated')
        self.bus = dbus.bus.BusConnection(self.address)
        self.obj = self.bus.get_object(TIMEDATE, '/org/freedesktop/timedate1')

    def _wait(self, ready, what):
        deadline = time.monotonic() + 20
        while not ready():
            if time.monotonic() > deadline or self.daemon.poll() is not None:
                raise SystemExit(f'sweep: {what} did not start (logs in {self.dir})')
            time.sleep(0.02)

    def ntp(self):
        return bool(self.obj.Get(TIMEDATE, 'NTP', dbus_interface='org.freedesktop.DBus.Properties'))

    def switch_on(self):
        self.obj.Set(TIMEDATE, 'NTP', dbus.Boolean(True), dbus_interface='org.freedesktop.DBus.Properties')

    def set_delays(self, delays):
        self.obj.SetDelays(dbus.Array(delays, signature='d'), dbus_interface='org.ravodor.Sweep')

    def state(self):
        received, pending, job = self.obj.State(dbus_interface='org.ravodor.Sweep')
        return int(received), int(pending), bool(job)

    def call_lines(self):
        with open(self.calls) as f:
            return f.read().splitlines()

    def close(self):
        for process in (self.timedated, self.daemon):
            process.terminate()
            process.wait()


class Second:
    '''The second user: its own change, started while the first one's road runs, maybe killed.'''

    def __init__(self, run, rng):
        self.run = run
        self.uid = SECOND_UID if os.geteuid() == 0 and rng.random() < 0.5 else None
        self.prefix = 'b-'
        self.road = rng.choice(SECOND_ROADS)
        self.victim = rng.choice(SECOND_VICTIMS)
        self.date = run.today + datetime.timedelta(days=rng.choice((-1, 1)) * rng.randint(1, 3650))
        self.start_after = rng.uniform(0.0, 1.5)
        self.kill_after = rng.uniform(0.0, 1.5)
        self.seconds = rng.uniform(0.0, 1.0)
        self.close_after = rng.uniform(0.5, 2.0)
        self.next_first = rng.random() < 0.5  # its next start before the first user's
        self.killed = []
        self.outcome = 'not started'
        self.problems = []

    def who(self):
        return f'uid {self.uid}' if self.uid is not None else 'same uid, other folders'

    def describe(self):
        what = (f'--at {self.date} -- sleep {self.seconds:.2f}' if self.road == 'at'
                else f'--date {self.date}, closed after {self.close_after:.2f} s')
        return (f'second user ({self.who()}) {self.start_after:.2f} s after the first: {what}, '
                f'victim {self.victim} {self.kill_after:.2f} s after its start')

    def begin(self):
        self.thread = threading.Thread(target=self.play, daemon=True)
        self.thread.start()

    def play(self):
        time.sleep(self.start_after)
        run = self.run
        env = run.env(False, self.prefix, self.uid)
        if self.road == 'at':
            arguments = ['--at', self.date.isoformat(), '--no-ask-password', '--', 'sleep', f'{self.seconds:.2f}']
        else:
            arguments = ['--date', self.date.isoformat()]
            env['LD_PRELOAD'] = run.fakeclock + ':' + run.trigger  # answers its boxes
        program = run.start(arguments, False, 'second.log', self.prefix, self.uid, env)
        sid, begun, closed = program.pid, time.monotonic(), False
        self.outcome = 'ran'
        # Its program may be reaped by the sweep's own reaping: the session tells when it has ended.
        while session_members(sid):
            since = time.monotonic() - begun
            if self.victim != 'nothing' and not self.killed and since >= self.kill_after:
                guards = [pid for pid, name in session_members(sid) if name == 'ravodor-guard']
                order = ([('guard', g) for g in guards] if self.victim in ('guard', 'both') else []) + \
                        ([('program', sid)] if self.victim in ('program', 'both') else [])
                for what, pid in order:
                    try:
                        os.kill(pid, signal.SIGKILL)
                        self.killed.append(what)
                    except ProcessLookupError:
                        pass
                self.killed = self.killed or ['nothing']
            if self.road == 'set' and not closed and since >= self.close_after:
                closed = True
                try:
                    os.kill(sid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
            if since > 2 * ENDING_TIMEOUT:
                self.problems.append('the second user\'s run did not end')
                for pid, _ in session_members(sid):
                    os.kill(pid, signal.SIGKILL)
                break
            time.sleep(0.01)
        with open(os.path.join(run.dir, 'second.log'), errors='replace') as f:
            text = f.read()
        if 'The date is changed by' in text or 'left changed by' in text:
            self.outcome = 'refused'
        elif [k for k in self.killed if k != 'nothing']:
            self.outcome = 'killed'


class Run:
    def __init__(self, number, seed, build, bus, root, users=1):
        self.number, self.seed, self.bus = number, seed, bus
        self.program, self.fakeclock, self.trigger = built(build, 'ravodor'), built(build, 'fakeclock.so'), \
            built(build, 'menutrigger.so')
        self.dir = tempfile.mkdtemp(prefix=f'run{number}-', dir=root)
        self.problems = []
        self.sessions = []
        rng = random.Random(seed)
        self.road = rng.choice(ROADS)
        self.victim = rng.choice(VICTIMS)
        # The first call to the time service is the pause, the second the resume.
        moments = ('early', 'pause pending', 'after the set', 'resume pending')
        # --at also: the command's last act is the kill, the moment its end starts the way back.
        self.moment = rng.choice(moments + (('as the command ends',) if self.road == 'at' else ()))
        self.today = datetime.datetime.now(datetime.timezone.utc).date()
        self.date = self.today + datetime.timedelta(days=rng.choice((-1, 1)) * rng.randint(1, 3650))
        if self.moment in ('early', 'after the set', 'as the command ends'):
            self.delays = [0.0 if rng.random() < 0.5 else rng.uniform(0.0, 0.6) for _ in range(4)]
        else:
            self.delays = [rng.uniform(0.0, 0.3) for _ in range(4)]
            self.delays[0 if self.moment == 'pause pending' else 1] = rng.uniform(0.3, 1.0)
        self.item = quickset_item(rng)
        self.trigger_after = rng.uniform(0.0, 0.3)
        self.command_seconds = rng.uniform(0.0, 1.0)
        # A window is closed (as by a logout's SIGTERM) this long after its date was set.
        self.close_after = rng.uniform(0.0, 1.5)
        # Early: from the start, while it starts up and sets. After the set: up to a little
        # past the road's end, so that the way back is hit too.
        lifetime = self.close_after if self.road != 'at' else self.command_seconds
        self.kill_after = (rng.uniform(0.0, 0.8) if self.moment == 'early'
                           else rng.uniform(0.0, lifetime + self.delays[1] + 0.6))
        self.first_call = None
        self.first_set = None
        self.closed = False
        self.first_status = None
        self.answered = []
        self.left = {}
        self.guard_first = rng.random() < 0.5
        self.killed = []
        self.second = Second(self, rng) if users == 2 else None
        # The machine's one hold on the clock, which every user may lock.
        self.hold = os.path.join(self.dir, 'hold')
        open(self.hold, 'w').close()
        os.chmod(self.hold, 0o666)
        if self.second and self.second.uid is not None:
            os.chmod(self.dir, 0o777)  # the clock's state is the machine's

    def env(self, window, prefix='', uid=None):
        home, config, runtime = (os.path.join(self.dir, prefix + name) for name in ('home', 'config', 'runtime'))
        for folder in (home, config, runtime):
            os.makedirs(folder, mode=0o700, exist_ok=True)
            if uid is not None:
                os.chown(folder, uid, uid)
        env = {
            'PATH': os.environ.get('PATH', '/usr/bin:/bin'),
            'LANG': 'C.UTF-8',
            'TZ': 'UTC',
            'HOME': home,
            'XDG_CONFIG_HOME': config,
            'XDG_RUNTIME_DIR': runtime,
            'DBUS_SYSTEM_BUS_ADDRESS': self.bus.address,
            'DBUS_SESSION_BUS_ADDRESS': 'unix:path=/nonexistent',
            'QT_QPA_PLATFORM': 'offscreen',
            'LD_PRELOAD': self.fakeclock,
            'FAKECLOCK_STATE': os.path.join(self.dir, 'clock.state'),
            'RAVODOR_CLOCK_HOLD': self.hold,
        }
        if window and self.road != 'at':
            env.update(LD_PRELOAD=self.fakeclock + ':' + self.trigger)
        if window and self.road == 'quickset':
            env.update(RAVODOR_TRIGGER=self.item, RAVODOR_TRIGGER_MS=str(int(self.trigger_after * 1000)))
        return env

    def start(self, arguments, window, log, prefix='', uid=None, env=None):
        drop = [] if uid is None else ['setpriv', f'--reuid={uid}', f'--regid={uid}', '--clear-groups',
                                       '--inh-caps=-all', '--bounding-set=-all', '--']
        process = subprocess.Popen(drop + [self.program] + arguments, env=env or self.env(window, prefix, uid),
                                stdin=subprocess.DEVNULL,
                                stdout=open(os.path.join(self.dir, log), 'w'), stderr=subprocess.STDOUT,
                                start_new_session=True, cwd=self.dir)
        self.sessions.append(process.pid)
        return process

    def clock(self, field):
        try:
            with open(os.path.join(self.dir, 'clock.state')) as f:
                for line in f:
                    if line.startswith(field + '='):
                        return int(line.split('=', 1)[1])
        except FileNotFoundError:
            pass
        return 0

    def record(self, prefix=''):
        return os.path.join(self.dir, prefix + 'config', 'Zaduziro', 'ravodor', 'RestoreRecord')

    def guards(self, sid):
        return [pid for pid, name in session_members(sid) if name == 'ravodor-guard']

    def kill(self, pid, what):
        try:
            os.kill(pid, signal.SIGKILL)
            self.killed.append(what)
        except ProcessLookupError:
            pass

    def strike(self, program):
        '''SIGKILL to the victim; a guard not started yet is waited for.'''
        sid = program.pid
        if self.victim == 'group':
            try:
                os.killpg(sid, signal.SIGKILL)
                self.killed.append('group')
            except ProcessLookupError:
                pass
            return
        guards = []
        if self.victim in ('guard', 'both'):
            # Not forever: a start refused by the other user's hold never starts one.
            deadline = time.monotonic() + GUARD_WAIT
            while not guards and program.poll() is None and time.monotonic() < deadline:
                guards = self.guards(sid)
                if not guards:
                    time.sleep(0.005)
        order = [('guard', g) for g in guards]
        if self.victim in ('program', 'both'):
            order.insert(len(order) if self.guard_first else 0, ('program', program.pid))
        for what, pid in order:
            self.kill(pid, what)

    def watch(self):
        '''Calls to the time service in this run, and notes when the first came; (received, pending).'''
        received, pending, _ = self.bus.state()
        received -= self.calls_base
        if received and self.first_call is None:
            self.first_call = time.monotonic()
        if self.first_set is None and self.clock('set_count'):
            self.first_set = time.monotonic()
        return received, pending

    def await_moment(self, program, started):
        '''True at the moment to strike; False when the program ended before it.'''
        wanted = 1 if self.moment == 'pause pending' else 2
        while program.poll() is None:
            received, pending = self.watch()
            now = time.monotonic()
            if self.moment == 'early' and now - started >= self.kill_after:
                return True
            if self.moment == 'after the set' and self.first_set and now - self.first_set >= self.kill_after:
                return True
            if self.moment.endswith('pending') and received >= wanted and pending > 0:
                return True
            self.close_if_due(program, started)
            time.sleep(0.005)
        return False

    def close_if_due(self, program, started):
        # A window whose set never got that far is closed after a while all the same.
        since = (self.first_set if self.first_set is not None else self.first_call + 3.0 if self.first_call
                 else started + 10.0)
        if self.road != 'at' and not self.closed and time.monotonic() - since >= self.close_after:
            self.closed = True
            try:
                os.kill(program.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass

    def wait_ending(self, program, started, window):
        deadline = time.monotonic() + ENDING_TIMEOUT + 10.0
        while program.poll() is None:
            if window:
                self.watch()
                self.close_if_due(program, started)
            if time.monotonic() > deadline:
                self.problems.append('the program did not end')
                os.killpg(program.pid, signal.SIGKILL)
                program.wait()
                break
            time.sleep(0.01)
        # What outlived the program (the guard, the command) ends by itself.
        deadline = time.monotonic() + ENDING_TIMEOUT
        while True:
            reap()
            left = session_members(program.pid)
            if not left:
                break
            if time.monotonic() > deadline:
                self.problems.append('still running after the program: ' + ', '.join(f'{n} {p}' for p, n in left))
                for pid, _ in left:
                    try:
                        os.kill(pid, signal.SIGKILL)
                    except ProcessLookupError:
                        pass
                deadline = float('inf')
            time.sleep(0.01)

    def settle(self):
        '''Until the stand-in has answered every call and its job is done.'''
        deadline = time.monotonic() + ENDING_TIMEOUT
        while True:
            _, pending, job = self.bus.state()
            if not pending and not job:
                return
            if time.monotonic() > deadline:
                self.problems.append('the time service still has calls or a job')
                return
            time.sleep(0.02)

    def play(self):
        if not self.bus.ntp():
            self.bus.switch_on()  # a failed run before this one
        self.settle()
        self.bus.set_delays(self.delays)
        calls_before = len(self.bus.call_lines())
        self.calls_base = self.bus.state()[0]
        if self.road == 'set':
            arguments = ['--date', self.date.isoformat()]
        elif self.road == 'quickset':
            arguments = []
        else:
            arguments = ['--at', self.date.isoformat(), '--no-ask-password', '--',
                         'sleep', f'{self.command_seconds:.2f}']
            if self.moment == 'as the command ends':
                arguments[-2:] = ['sh', '-c', f'sleep {self.command_seconds:.2f}; ' + self.last_act()]
        started = time.monotonic()
        program = self.start(arguments, True, 'first.log')
        if self.second:
            self.second.begin()
        self.phase = 'ended first'
        if self.moment == 'as the command ends':
            self.killed = {'guard': ['guard'], 'program': ['program'], 'group': ['group'],
                           'both': ['guard', 'program'] if self.guard_first else ['program', 'guard']}[self.victim]
            self.phase = 'command ending'
        elif self.await_moment(program, started):
            sets = self.clock('set_count')
            away = abs(self.clock('offset_ns')) >= 10**9
            self.phase = 'date away' if away else 'before the set' if not sets else 'date back'
            self.strike(program)
        self.wait_ending(program, started, True)
        if self.second:
            self.second.thread.join()
            self.problems += self.second.problems
            reap()
        self.first_status = program.returncode
        with open(os.path.join(self.dir, 'first.log'), errors='replace') as f:
            self.answered = [re.sub(r'\d+ \w+ \d{4}', 'DATE', line.split(': ', 2)[2].strip())[:70]
                             for line in f if line.startswith('menutrigger: answered: ')]
        self.settle()
        self.left = {'record': os.path.exists(self.record()), 'sync off': not self.bus.ntp(),
                     'date away': abs(self.clock('offset_ns')) >= 10**9}
        if self.second:
            self.left['second record'] = os.path.exists(self.record(self.second.prefix))
        # A program that lives to its end puts everything right itself, its guard killed or not
        # (the second user's may have left the machine's clock or sync, or held them against its way back).
        if not self.second and 'program' not in self.killed and 'group' not in self.killed and any(self.left.values()):
            self.problems.append('the program was not killed, yet it ended leaving '
                                 + ', '.join(k for k, v in self.left.items() if v))

        # The next start puts right what was left, and alters nothing itself; each user's.
        starts = [('', None, 'again.log')]
        if self.second:
            starts.insert(0 if self.second.next_first else 1, (self.second.prefix, self.second.uid, 'again2.log'))
        for prefix, uid, log in starts:
            # Refused only while the other user's left change waits for that user's own next start.
            self.next_start(['--at', self.today.isoformat()], prefix, uid, log, (0, 75) if self.second else (0,))
        if self.second:
            # Nothing left refuses anyone: a change by the first user comes and goes.
            self.next_start(['--at', (self.today + datetime.timedelta(days=1)).isoformat()], '', None,
                            'after.log', (0,))
        offset = self.clock('offset_ns')
        if abs(offset) >= 10**9:
            self.problems.append(f'the date is not back: {offset / 86400e9:+.3f} days from the real one')
        if not self.bus.ntp():
            self.problems.append('sync is off')
        if os.path.exists(self.record()):
            self.problems.append('a restore record is left')
        if self.second and os.path.exists(self.record(self.second.prefix)):
            self.problems.append('a restore record of the second user is left')
        if self.clock('foreign_sets'):
            self.problems.append(f'{self.clock("foreign_sets")} set(s) by a process other than the guard')
        self.calls = self.bus.call_lines()[calls_before:]

    def next_start(self, at, prefix, uid, log, allowed):
        again = self.start(at + ['--no-ask-password', '--', 'true'], False, log, prefix, uid)
        try:
            again.wait(ENDING_TIMEOUT)
        except subprocess.TimeoutExpired:
            self.problems.append(f'{log}: the start did not end')
        self.wait_ending(again, time.monotonic(), False)
        self.settle()
        if again.returncode not in allowed:
            self.problems.append(f'{log}: the start ended with {again.returncode}')

    def last_act(self):
        '''The command's own kill: its guard by the id in the record, its program, its process group.'''
        guard = 'kill -9 "$(sed -n "s/^guard_pid=//p" "$XDG_CONFIG_HOME/Zaduziro/ravodor/RestoreRecord")"'
        program = 'kill -9 "$PPID"'
        return {'guard': guard, 'program': program, 'group': 'kill -9 0',
                'both': f'{guard}; {program}' if self.guard_first else f'{program}; {guard}'}[self.victim]

    def describe(self):
        what = {'set': f'--date {self.date}', 'quickset': f'Quickset {self.item} after {self.trigger_after:.2f} s',
                'at': f'--at {self.date} -- sleep {self.command_seconds:.2f}'}[self.road]
        if self.moment == 'as the command ends':
            what = f'--at {self.date} -- sh -c "sleep {self.command_seconds:.2f}; {self.last_act()}"'
        moment = (f'{self.kill_after:.2f} s after the start' if self.moment == 'early'
                  else f'{self.kill_after:.2f} s after the set' if self.moment == 'after the set'
                  else self.moment)
        return (f'road {self.road} ({what}), victim {self.victim}, kill {moment}, '
                f'delays {", ".join(f"{d:.2f}" for d in self.delays)}'
                + (f'; {self.second.describe()}' if self.second else ''))

    def report(self):
        print(f'FAIL run {self.number}, seed {self.seed}: {self.describe()}')
        print(f'  killed: {", ".join(self.killed) or "nothing"}; first start ended with {self.first_status}; '
              f'left before the next start: {", ".join(k for k, v in self.left.items() if v) or "nothing"}')
        for problem in self.problems:
            print(f'  - {problem}')
        for log in ('first.log', 'second.log', 'again.log', 'again2.log', 'after.log'):
            if not os.path.exists(os.path.join(self.dir, log)):
                continue
            with open(os.path.join(self.dir, log), errors='replace') as f:
                text = f.read().strip()
            if text:
                print(f'  {log}: ' + text.replace('\n', '\n    '))
        print('  time service calls: ' + '; '.join(self.calls))
        print(f'  replay: scripts/sweep.sh 1 {self.seed}' + (' 2' if self.second else ''))


def main():
    runs, seed, build = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    users = int(sys.argv[4]) if len(sys.argv) > 4 else 1
    if may_set_clock():
        raise SystemExit('sweep: refusing to run with the right to set the clock (scripts/sweep.sh drops it)')
    LIBC.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)
    # Ended from outside: the clean-up below still runs.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(128 + signal.SIGTERM))
    signal.signal(signal.SIGHUP, lambda *_: sys.exit(128 + signal.SIGHUP))
    root = tempfile.mkdtemp(prefix='ravodor-sweep-')
    os.chmod(root, 0o711)  # a second uid reaches its run's folder and the bus
    bus = None
    counts = {}
    failures = []
    began = time.monotonic()
    run = None
    try:
        bus = Bus(root)
        for number in range(runs):
            run = Run(number, seed + number, build, bus, root, users)
            run.play()
            for key in (('road', run.road), ('victim', run.victim), ('moment', run.moment),
                        ('killed', '+'.join(run.killed) or 'nothing'), ('clock at the kill', run.phase),
                        ('left', '+'.join(k for k, v in run.left.items() if v) or 'nothing')) + (
                            (('second user', run.second.who()), ('second road', run.second.road),
                             ('second killed', '+'.join(run.second.killed) or 'nothing'),
                             ('second outcome', run.second.outcome)) if run.second else ()):
                counts.setdefault(key[0], {}).setdefault(key[1], 0)
                counts[key[0]][key[1]] += 1
            if os.environ.get('SWEEP_VERBOSE'):
                print(f'run {number}, seed {run.seed}: {run.describe()}; killed {"+".join(run.killed) or "nothing"} '
                      f'({run.phase}); left {"+".join(k for k, v in run.left.items() if v) or "nothing"}; '
                      f'{"FAILED" if run.problems else "ok"}', flush=True)
            for text in run.answered:
                counts.setdefault('message boxes answered', {}).setdefault(text, 0)
                counts['message boxes answered'][text] += 1
            if run.problems:
                failures.append(run.seed)
                run.report()
            shutil.rmtree(run.dir, ignore_errors=True)
    finally:
        # Interrupted mid-run: what it started goes too, by its own process ids.
        for sid in (run.sessions if run else []):
            for pid, _ in session_members(sid):
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
        if bus:
            bus.close()
        reap()
        shutil.rmtree(root, ignore_errors=True)
    took = time.monotonic() - began
    print(f'sweep: {runs} runs from seed {seed}, {len(failures)} failed, {took:.0f} s '
          f'({took / max(runs, 1):.2f} s a run)')
    for name, values in counts.items():
        print(f'  {name}: ' + ', '.join(f'{k} {v}' for k, v in sorted(values.items())))
    if failures:
        print('  failed seeds: ' + ' '.join(map(str, failures)))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
