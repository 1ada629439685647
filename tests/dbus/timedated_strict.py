'''A stand-in for systemd-timedated 252, where Ravodor relies on it

- SetTime is refused with AutomaticTimeSyncEnabled while NTP is on, and while
  the unit job of the last SetNTP still runs;
- SetNTP starts a job that takes 0.3 s before the NTP property changes;
- PolkitAllows false: both answer AccessDenied, or
  InteractiveAuthorizationRequired for a quiet call;
- CanNTP false: SetNTP answers NoNTPSupport;
- FailFirst: the first call is answered with that error, "it broke";
- SetTime never touches a clock.
Each call is appended to the file Log as "method error-or-- arguments...";
the file is created once the name is owned.
'''

import dbus
from gi.repository import GLib

BUS_NAME = MAIN_IFACE = 'org.freedesktop.timedate1'
MAIN_OBJ = '/org/freedesktop/timedate1'
SYSTEM_BUS = True

SYNC_ENABLED = 'org.freedesktop.timedate1.AutomaticTimeSyncEnabled'
JOB_MS = 300


def load(mock, parameters):
    mock.AddProperties(MAIN_IFACE, dbus.Dictionary({'CanNTP': parameters['CanNTP'], 'NTP': parameters['NTP']},
                                                   signature='sv'))
    mock.allows = parameters['PolkitAllows']
    mock.fail = parameters['FailFirst']
    mock.job = None
    mock.record = open(parameters['Log'], 'w', buffering=1)


def _error(name, message):
    return dbus.exceptions.DBusException(message, name=name)


def _run(self, method, args, body):
    error = '-'
    try:
        if self.fail:
            name, self.fail = self.fail, ''
            raise _error(name, 'it broke')
        body()
    except dbus.exceptions.DBusException as e:
        error = e.get_dbus_name()
        raise
    finally:
        self.record.write(' '.join([method, error] + [str(int(a)) for a in args]) + '\n')


def _authorise(self, interactive):
    if self.allows:
        return
    if not interactive:
        raise _error('org.freedesktop.DBus.Error.InteractiveAuthorizationRequired',
                     'Interactive authentication required.')
    raise _error('org.freedesktop.DBus.Error.AccessDenied', 'Access denied')


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
        self.job = GLib.timeout_add(JOB_MS, _job_done, self, bool(use_ntp))
    _run(self, 'SetNTP', [use_ntp, interactive], body)


@dbus.service.method(MAIN_IFACE, in_signature='xbb', out_signature='')
def SetTime(self, usec_utc, relative, interactive):
    def body():
        if self.job is not None or self.Get(MAIN_IFACE, 'NTP'):
            raise _error(SYNC_ENABLED, 'Automatic time synchronization is enabled')
        # Ravodor only shifts: no absolute times.
        if not relative or not 0 < GLib.get_real_time() + usec_utc < 2**63:
            raise _error('org.freedesktop.DBus.Error.InvalidArgs', 'Time value overflow')
        _authorise(self, interactive)
    _run(self, 'SetTime', [usec_utc, relative, interactive], body)
