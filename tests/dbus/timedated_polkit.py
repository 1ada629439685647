'''A stand-in for systemd-timedated that asks the real polkit, as timedated
does: SetNTP is checked with CheckAuthorization for the caller's bus name and
org.freedesktop.timedate1.set-ntp, interaction allowed only when the call
allows it. Not authorised: InteractiveAuthorizationRequired when a password
could have been asked for, else AccessDenied. No clock is touched.
'''

import dbus

BUS_NAME = MAIN_IFACE = 'org.freedesktop.timedate1'
MAIN_OBJ = '/org/freedesktop/timedate1'
SYSTEM_BUS = True


def load(mock, parameters):
    mock.AddProperties(MAIN_IFACE, dbus.Dictionary({'CanNTP': True, 'NTP': True}, signature='sv'))


def _error(name, message):
    return dbus.exceptions.DBusException(message, name=name)


@dbus.service.method(MAIN_IFACE, in_signature='bb', out_signature='', sender_keyword='sender')
def SetNTP(self, use_ntp, interactive, sender=None):
    authority = dbus.Interface(dbus.SystemBus().get_object('org.freedesktop.PolicyKit1',
                                                          '/org/freedesktop/PolicyKit1/Authority'),
                               'org.freedesktop.PolicyKit1.Authority')
    subject = ('system-bus-name', {'name': dbus.String(sender, variant_level=1)})
    authorised, challenge, _ = authority.CheckAuthorization(
        subject, 'org.freedesktop.timedate1.set-ntp', dbus.Dictionary({}, signature='ss'),
        dbus.UInt32(1 if interactive else 0), '', timeout=30)
    if not authorised:
        denial = 'InteractiveAuthorizationRequired' if challenge and not interactive else 'AccessDenied'
        raise _error('org.freedesktop.DBus.Error.' + denial, 'Not authorised')
    self.Set(MAIN_IFACE, 'NTP', dbus.Boolean(use_ntp))
