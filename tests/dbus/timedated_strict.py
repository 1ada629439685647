'''A stand-in for systemd-timedated 252, stricter than dbusmock's own template

It behaves as the real service does where Ravodor relies on it:
- SetTime is refused with AutomaticTimeSyncEnabled while NTP is on, and while
  the unit job of the last SetNTP is still running;
- SetNTP starts a job that takes a moment (parameter StopJobSeconds, 0.2 by
  default) before the NTP property changes;
- both ask the polkit on the bus (CheckAuthorization); a denial answers
  AccessDenied, or InteractiveAuthorizationRequired for a quiet call;
- CanNTP false: SetNTP answers NoNTPSupport;
- SetTime never touches a clock.

Parameters: NTP (true), CanNTP (true), StopJobSeconds (0.2).
On org.freedesktop.DBus.Mock: GetRecordedCalls() lists every SetNTP and
SetTime call as (method, arguments as integers, error name or ''),
FailNext(method, name, message) makes the next such call fail so,
SetNTPState(on) changes NTP at once.
'''

import dbus
from gi.repository import GLib

from dbusmock import MOCK_IFACE

BUS_NAME = 'org.freedesktop.timedate1'
MAIN_OBJ = '/org/freedesktop/timedate1'
MAIN_IFACE = 'org.freedesktop.timedate1'
SYSTEM_BUS = True

SYNC_ENABLED = 'org.freedesktop.timedate1.AutomaticTimeSyncEnabled'
NO_NTP_SUPPORT = 'org.freedesktop.timedate1.NoNTPSupport'
INT64_MAX = 2**63 - 1


def load(mock, parameters):
    ntp = bool(parameters.get('NTP', True))
    mock.AddProperties(MAIN_IFACE, dbus.Dictionary({
        'Timezone': 'Etc/UTC',
        'LocalRTC': False,
        'CanNTP': bool(parameters.get('CanNTP', True)),
        'NTP': ntp,
        'NTPSynchronized': ntp,
        'TimeUSec': dbus.UInt64(0),
        'RTCTimeUSec': dbus.UInt64(0),
    }, signature='sv'))
    mock.stop_job_seconds = float(parameters.get('StopJobSeconds', 0.2))
    mock.job = None
    mock.recorded = []
    mock.fail_next = {}


def _error(name, message):
    return dbus.exceptions.DBusException(message, name=name)


def _run(self, method, args, body):
    '''Records the call, with the name of the error it fails with.'''
    entry = [method, [dbus.Int64(a) for a in args], '']
    self.recorded.append(entry)
    try:
        if method in self.fail_next:
            name, message = self.fail_next.pop(method)
            raise _error(name, message)
        body()
    except dbus.exceptions.DBusException as e:
        entry[2] = e.get_dbus_name()
        raise


def _authorise(self, sender, action, interactive):
    authority = self.connection.get_object('org.freedesktop.PolicyKit1',
                                           '/org/freedesktop/PolicyKit1/Authority')
    subject = ('system-bus-name', {'name': dbus.String(sender, variant_level=1)})
    allowed, _challenge, _details = authority.CheckAuthorization(
        subject, action, dbus.Dictionary({}, signature='ss'), dbus.UInt32(1 if interactive else 0), '',
        dbus_interface='org.freedesktop.PolicyKit1.Authority')
    if allowed:
        return
    if not interactive:
        raise _error('org.freedesktop.DBus.Error.InteractiveAuthorizationRequired',
                     'Interactive authentication required.')
    raise _error('org.freedesktop.DBus.Error.AccessDenied', 'Access denied')


def _set_ntp_now(self, on):
    self.Set(MAIN_IFACE, 'NTP', dbus.Boolean(on))
    self.Set(MAIN_IFACE, 'NTPSynchronized', dbus.Boolean(on))


@dbus.service.method(MAIN_IFACE, in_signature='bb', out_signature='', sender_keyword='sender')
def SetNTP(self, use_ntp, interactive, sender=None):
    def body():
        if not self.Get(MAIN_IFACE, 'CanNTP'):
            raise _error(NO_NTP_SUPPORT, 'NTP not supported')
        _authorise(self, sender, 'org.freedesktop.timedate1.set-ntp', interactive)
        # A new request forgets the job of the last one, as timedated does.
        if self.job is not None:
            GLib.source_remove(self.job)

        def job_done():
            self.job = None
            _set_ntp_now(self, bool(use_ntp))
            return False
        self.job = GLib.timeout_add(int(self.stop_job_seconds * 1000), job_done)
    _run(self, 'SetNTP', [use_ntp, interactive], body)


@dbus.service.method(MAIN_IFACE, in_signature='xbb', out_signature='', sender_keyword='sender')
def SetTime(self, usec_utc, relative, interactive, sender=None):
    def body():
        if self.job is not None:
            raise _error(SYNC_ENABLED, 'Previous request is not finished, refusing.')
        if self.Get(MAIN_IFACE, 'NTP'):
            raise _error(SYNC_ENABLED, 'Automatic time synchronization is enabled')
        if relative:
            target = GLib.get_real_time() + usec_utc
            if target <= 0 or target > INT64_MAX:
                raise _error('org.freedesktop.DBus.Error.InvalidArgs', 'Time value overflow')
        elif usec_utc <= 0:
            raise _error('org.freedesktop.DBus.Error.InvalidArgs', 'Invalid absolute time')
        _authorise(self, sender, 'org.freedesktop.timedate1.set-time', interactive)
    _run(self, 'SetTime', [usec_utc, relative, interactive], body)


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='a(saxs)')
def GetRecordedCalls(self):
    return dbus.Array([dbus.Struct((m, dbus.Array(a, signature='x'), e)) for m, a, e in self.recorded],
                      signature='(saxs)')


@dbus.service.method(MOCK_IFACE, in_signature='sss', out_signature='')
def FailNext(self, method, name, message):
    self.fail_next[method] = (name, message)


@dbus.service.method(MOCK_IFACE, in_signature='b', out_signature='')
def SetNTPState(self, on):
    _set_ntp_now(self, bool(on))
