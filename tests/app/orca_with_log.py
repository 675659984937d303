# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs Orca, the screen reader, as `orca -u PREFS_DIR --debug-file LOG` does, for a test:

- the debug log is written line by line, so that a test reads what Orca speaks as it speaks it
  (the `orca` command buffers it in blocks of kilobytes);
- no other Orca is looked for: the `orca` command refuses to start beside one, and with
  --replace kills every Orca of the user on the machine, a developer's own screen reader
  among them. This one serves the D-Bus session it is started in, and only it.

    orca_with_log.py <preferences folder> <log>
"""

import sys

from orca import debug

prefs, log = sys.argv[1:3]
debug.debugLevel = debug.LEVEL_ALL
debug.eventDebugLevel = debug.LEVEL_OFF
debug.debugFile = open(log, "w", buffering=1, encoding="utf-8")

from orca import orca  # noqa: E402 (after the debug settings, as the orca command does)

manager = orca.getSettingsManager()
manager.activate(prefs, {})
sys.path.insert(0, manager.getPrefsDir())
sys.exit(orca.main())
