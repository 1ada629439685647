'''A stand-in for systemd-timedated 252, as strict where Ravodor relies on it

SetTime is refused with AutomaticTimeSyncEnabled while NTP is on or SetNTP's
unit job (0.3 s) still runs; a denial (PolkitAllows false) is AccessDenied, or
InteractiveAuthorizationRequired for a quiet call; PolkitAsks true answers
every quiet call so and lets every interactive one pass (a password typed
in); CanNTP false makes SetNTP
answer NoNTPSupport; FailFirst answers the first call with that error.
LateFirst (ms, when not negative) answers the first call as if its caller
had given up waiting (NoReply), and carries it out that much later. Each
call is appended to the file Log as "SetNTP(0, 1) error-or--", which
is created once the name is owned. No clock is touched.
'''

import dbus
from gi.repository import GLib

BUS_NAME = MAIN_IFACE = 'org.freedesktop.timedate1'
MAIN_OBJ = '/org/freedesktop/timedate1'
SYSTEM_BUS = True


def load(mock, parameters):
    mock.AddProperties(MAIN_IFACE, dbus.Dictionary({'CanNTP': parameters['CanNTP'], 'NTP': parameters['NTP']},
                                                   signature='sv'))
    mock.allows = parameters['PolkitAllows']
    mock.asks = parameters.get('PolkitAsks', False)
    mock.fail = parameters['FailFirst']
    mock.late = parameters.get('LateFirst', -1)
    mock.job = None
    mock.record = open(parameters['Log'], 'w', buffering=1)


def _error(name, message):
    return dbus.exceptions.DBusException(message, name=name)


def _run(self, method, args, body):
    error = '-'
    try:
        if self.late >= 0:
            late, self.late = self.late, -1
            GLib.timeout_add(late, _carry_out, body)
            raise _error('org.freedesktop.DBus.Error.NoReply', 'no reply')
        if self.fail:
            name, self.fail = self.fail, ''
            raise _error(name, 'it broke')
        body()
    except dbus.exceptions.DBusException as e:
        error = e.get_dbus_name()
        raise
    finally:
        self.record.write(f"{method}({', '.join(str(int(a)) for a in args)}) {error}\n")


def _carry_out(body):
    try:
        body()
    except dbus.exceptions.DBusException:
        pass  # nobody waits for the answer
    return False


def _authorise(self, interactive):
    if self.asks and not interactive:
        raise _error('org.freedesktop.DBus.Error.InteractiveAuthorizationRequired', 'Not authorised')
    if not self.allows:
        denial = 'AccessDenied' if interactive else 'InteractiveAuthorizationRequired'
        raise _error('org.freedesktop.DBus.Error.' + denial, 'Not authorised')


def _job_done(self, on):
    self.job = None
    self.Set(MAIN_IFACE, 'NTP', dbus.Boolean(on))
    return False


@dbus.service.method(MAIN_IFACE, in_signature='bb', out_signature='')
def SetNTP(self, use_ntp, interactive):
    def body():
        if not self.Get(MAIN_IFACE, 'CanNTP'):
            raise _error('org.freedesktop.timedate1.NoNTPSupport', 'NTP not supported')
        _authorise(self, interactive)
        # A new request forgets the job of the last one, as timedated does.
        if self.job is not None:
            GLib.source_remove(self.job)
        self.job = GLib.timeout_add(300, _job_done, self, bool(use_ntp))
    _run(self, 'SetNTP', [use_ntp, interactive], body)


@dbus.service.method(MAIN_IFACE, in_signature='xbb', out_signature='')
def SetTime(self, usec_utc, relative, interactive):
    def body():
        if self.job is not None or self.Get(MAIN_IFACE, 'NTP'):
            raise _error('org.freedesktop.timedate1.AutomaticTimeSyncEnabled', 'Automatic time sync is on')
        # Ravodor only shifts: no absolute times.
        if not relative or not 0 < GLib.get_real_time() + usec_utc < 2**63:
            raise _error('org.freedesktop.DBus.Error.InvalidArgs', 'Time value overflow')
        _authorise(self, interactive)
    _run(self, 'SetTime', [usec_utc, relative, interactive], body)
