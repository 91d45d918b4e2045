# SPDX-License-Identifier: MIT
"""The scenarios of the kernel rig, run in this order in one boot (guest.py). Each one
leaves the drivers loaded as it found them (parport_pc and ppdev, /dev/parport0 root:lp 0660)
and its panels ended; Context.cleanup() sees to it after a failure.

Error boxes are told apart by their pixels: `references` makes one box of each message from a
cause that leaves no doubt (no node at all; a FIFO the user may not open; a FIFO whose panels'
lock another panel holds) before any driver is loaded, and later boxes are matched against
them."""

from __future__ import annotations

from context import Context  # noqa: F401 - guest.py makes it through this module
from gpio_scenarios import (gpio_clicks, gpio_held, gpio_names, gpio_off_and_exit,
                            gpio_second_panel)
from driver_scenarios import (claimed_elsewhere, driver_removed, exclusive, lp_beside, no_port,
                              no_ppdev, second_panel)
from node_scenarios import block_device, flocked, twin_node
from output_scenarios import (claims, clicks, cycle_cost, drivers, permissions, references)
from relay_scenarios import (usb_clicks, usb_denied, usb_node, usb_second_panel, usb_serials,
                             usb_two_relays, usb_unplug)
from wine_scenarios import wine_usb_clicks

ORDER = [
    ("references", references),
    ("drivers", drivers),
    ("clicks", clicks),
    ("claims", claims),
    ("permissions", permissions),
    ("lp_beside", lp_beside),
    ("exclusive", exclusive),
    ("second_panel", second_panel),
    ("twin_node", twin_node),
    ("flocked", flocked),
    ("no_ppdev", no_ppdev),
    ("no_port", no_port),
    ("block_device", block_device),
    ("driver_removed", driver_removed),
    ("cycle_cost", cycle_cost),
    ("claimed_elsewhere", claimed_elsewhere),
    ("usb_clicks", usb_clicks),
    ("usb_two_relays", usb_two_relays),
    ("usb_unplug", usb_unplug),
    ("usb_denied", usb_denied),
    ("usb_serials", usb_serials),
    ("usb_second_panel", usb_second_panel),
    ("usb_node", usb_node),
    ("gpio_clicks", gpio_clicks),
    ("gpio_names", gpio_names),
    ("gpio_held", gpio_held),
    ("gpio_second_panel", gpio_second_panel),
    ("gpio_off_and_exit", gpio_off_and_exit),
]

# With the Windows program (rig.py --wine): pio-out.exe under wine.
WINE_ORDER = [
    ("wine_usb_clicks", wine_usb_clicks),
]
