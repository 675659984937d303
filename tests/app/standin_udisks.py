# SPDX-License-Identifier: GPL-3.0-or-later
"""A stand-in for UDisks2 on a bus of the test's own, with the parts of its interface that
Morvane uses: the object manager (GetManagedObjects, InterfacesAdded/Removed), a block
device's Block and Filesystem (MountPoints, Unmount, PropertiesChanged) and its drive's
PowerOff. The test plugs a player in through org.morvane.StandIn.Plug(mount point), and asks
org.morvane.StandIn.Calls() what was called on the devices.

    standin_udisks.py <bus address>
"""

import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

ROOT = "/org/freedesktop/UDisks2"
MANAGER = "org.freedesktop.DBus.ObjectManager"
PROPERTIES = "org.freedesktop.DBus.Properties"
BLOCK = "org.freedesktop.UDisks2.Block"
FILE_SYSTEM = "org.freedesktop.UDisks2.Filesystem"
DRIVE = "org.freedesktop.UDisks2.Drive"
BLOCK_PATH = ROOT + "/block_devices/sdb1"
DRIVE_PATH = ROOT + "/drives/Memory_Stick"


def mount_points(paths):
    # UDisks2 writes each path as bytes with a final NUL.
    return dbus.Array([dbus.ByteArray(p.encode() + b"\0") for p in paths], signature="ay")


class Device(dbus.service.Object):
    def __init__(self, bus, path, interfaces, manager):
        super().__init__(bus, path)
        self.interfaces = interfaces
        self.manager = manager

    @dbus.service.method(FILE_SYSTEM, in_signature="a{sv}")
    def Unmount(self, options):
        self.manager.calls.append("Unmount " + self._object_path)
        self.interfaces[FILE_SYSTEM]["MountPoints"] = mount_points([])
        self.PropertiesChanged(FILE_SYSTEM, {"MountPoints": mount_points([])}, [])

    @dbus.service.method(DRIVE, in_signature="a{sv}")
    def PowerOff(self, options):
        self.manager.calls.append("PowerOff " + self._object_path)
        self.manager.unplug()

    @dbus.service.signal(PROPERTIES, signature="sa{sv}as")
    def PropertiesChanged(self, interface, changed, invalidated):
        pass


class Manager(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, ROOT)
        self.bus = bus
        self.devices = {}
        self.calls = []

    @dbus.service.method(MANAGER, out_signature="a{oa{sa{sv}}}")
    def GetManagedObjects(self):
        return {path: device.interfaces for path, device in self.devices.items()}

    @dbus.service.signal(MANAGER, signature="oa{sa{sv}}")
    def InterfacesAdded(self, path, interfaces):
        pass

    @dbus.service.signal(MANAGER, signature="oas")
    def InterfacesRemoved(self, path, interfaces):
        pass

    @dbus.service.method("org.morvane.StandIn", in_signature="s")
    def Plug(self, mount_point):
        drive = {DRIVE: {"CanPowerOff": dbus.Boolean(True), "Removable": dbus.Boolean(True)}}
        block = {
            BLOCK: {"Drive": dbus.ObjectPath(DRIVE_PATH), "IdType": "vfat",
                    "IdLabel": "STICK"},
            FILE_SYSTEM: {"MountPoints": mount_points([mount_point])},
        }
        for path, interfaces in ((DRIVE_PATH, drive), (BLOCK_PATH, block)):
            self.devices[path] = Device(self.bus, path, interfaces, self)
            self.InterfacesAdded(path, interfaces)

    def unplug(self):
        for path in (BLOCK_PATH, DRIVE_PATH):
            device = self.devices.pop(path)
            device.remove_from_connection()
            self.InterfacesRemoved(path, list(device.interfaces))

    @dbus.service.method("org.morvane.StandIn", out_signature="as")
    def Calls(self):
        return self.calls


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.bus.BusConnection(sys.argv[1])
    manager = Manager(bus)
    name = dbus.service.BusName("org.freedesktop.UDisks2", bus)
    print("ready", flush=True)
    GLib.MainLoop().run()
    del manager, name


if __name__ == "__main__":
    main()
