'''The strict stand-in timedated (timedated_strict.py), answering slowly

For scripts/sweep.sh, which kills the program and its guard while a call is
under way. SetNTP and SetTime are taken in the order they come, one at a
time; each waits the next delay from SetDelays before it is carried out and
answered, whether or not its caller is still there. Calls beyond the list
are carried out at once. State tells (calls received, calls not yet
answered, a SetNTP job still running).
'''

import importlib.util
import os

import dbus
from gi.repository import GLib

_spec = importlib.util.spec_from_file_location(
    'timedated_strict', os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'dbus', 'timedated_strict.py'))
strict = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(strict)

BUS_NAME = strict.BUS_NAME
MAIN_IFACE = strict.MAIN_IFACE
MAIN_OBJ = strict.MAIN_OBJ
SYSTEM_BUS = strict.SYSTEM_BUS
SWEEP_IFACE = 'org.ravodor.Sweep'


def load(mock, parameters):
    strict.load(mock, parameters)
    mock.delays = []
    mock.queue = []
    mock.received = 0
    mock.serving = False


def _serve_next(self):
    if self.serving or not self.queue:
        return
    self.serving = True
    delay = self.delays.pop(0) if self.delays else 0.0
    GLib.timeout_add(int(delay * 1000), _carry_out, self)


def _carry_out(self):
    body, ok, fail = self.queue.pop(0)
    try:
        body()
    except dbus.exceptions.DBusException as e:
        fail(e)
    else:
        ok()
    self.serving = False
    _serve_next(self)
    return False


def _enqueue(self, body, ok, fail):
    self.received += 1
    self.queue.append((body, ok, fail))
    _serve_next(self)


@dbus.service.method(MAIN_IFACE, in_signature='bb', out_signature='', async_callbacks=('ok', 'fail'))
def SetNTP(self, use_ntp, interactive, ok, fail):
    _enqueue(self, lambda: strict.SetNTP(self, use_ntp, interactive), ok, fail)


@dbus.service.method(MAIN_IFACE, in_signature='xbb', out_signature='', async_callbacks=('ok', 'fail'))
def SetTime(self, usec_utc, relative, interactive, ok, fail):
    _enqueue(self, lambda: strict.SetTime(self, usec_utc, relative, interactive), ok, fail)


@dbus.service.method(SWEEP_IFACE, in_signature='ad', out_signature='')
def SetDelays(self, delays):
    self.delays = [float(d) for d in delays]


@dbus.service.method(SWEEP_IFACE, in_signature='', out_signature='uub')
def State(self):
    return dbus.UInt32(self.received), dbus.UInt32(len(self.queue)), self.job is not None
