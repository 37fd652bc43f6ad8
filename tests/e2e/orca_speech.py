#!/usr/bin/python3
"""Runs the Orca screen reader with every utterance written, as it is handed
to speech, to a file (one "SPEECH OUTPUT: '...'" line each, flushed at once).
Unlike the orca command it neither kills nor waits for another user's Orca:
tests on a shared machine run side by side.
Usage: orca_speech.py PREFS_DIR SPEECH_LOG [DEBUG_LOG]"""
import logging
import sys

from orca import debug

prefs, spoken = sys.argv[1:3]
if len(sys.argv) > 3:
    debug.debugLevel = debug.LEVEL_ALL
    debug.eventDebugLevel = debug.LEVEL_OFF
    debug.debugFile = open(sys.argv[3], "w", buffering=1)

handler = logging.FileHandler(spoken, mode="w")
handler.setFormatter(logging.Formatter("%(message)s"))
# Orca's speech module logs each utterance to the "speech" logger.
logging.getLogger("speech").addHandler(handler)

from orca import orca  # noqa: E402 (after the debug settings it reads)

manager = orca.getSettingsManager()
manager.activate(prefs, {})
sys.path.insert(0, manager.getPrefsDir())
sys.exit(orca.main())
