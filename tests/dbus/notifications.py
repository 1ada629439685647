'''The notification service as python3-dbusmock ships it, telling when it is up

Capabilities come from "capabilities" (blank-separated); the file Ready is
created once the name is owned. Calls are read with the mock's GetCalls.
'''

from dbusmock.templates import notification_daemon as shipped

BUS_NAME = shipped.BUS_NAME
MAIN_OBJ = shipped.MAIN_OBJ
MAIN_IFACE = shipped.MAIN_IFACE
SYSTEM_BUS = False


def load(mock, parameters):
    shipped.load(mock, parameters)
    open(parameters['Ready'], 'w').close()
