#!/usr/bin/env python3
"""The layer check of the tool's folders (scripts/check-layers.py) on small made-up trees: an
upward include is named with its file and header and fails the check; downward, same-folder,
main.cpp's and outside includes pass.

Usage: CheckLayersTest.py PATH/TO/check-layers.py
"""
import pathlib
import subprocess
import sys
import tempfile
import unittest

SCRIPT = None

# (what, files {path: text}, exit code, the fault lines expected on stderr)
CASES = [
    ("downward, same folder and outside includes pass",
     {"platform/A.h": "", "platform/AWin32.cpp": '#include "A.h"\n',
      "names/N.cpp": '#include "platform/A.h"\n', "commands/C.cpp": '#include "cli/X.h"\n#include "setup/S.h"\n',
      "cli/X.h": "", "setup/S.h": '#include "EngineEntry.h"\n#include <vector>\n',
      "main.cpp": '#include "commands/C.h"\n'},
     0, []),
    ("an upward include is named",
     {"setup/SetupBuilder.cpp": '#include "setup/S.h"\n  #  include "cli/StandardStreams.h"\n', "setup/S.h": "",
      "cli/StandardStreams.h": ""},
     1, ['check-layers: setup/SetupBuilder.cpp: includes "cli/StandardStreams.h" (cli is above setup)']),
    ("every upward include of a subfolder counts, with its folder's layer",
     {"setup/branding/Icon.cpp": '#include "commands/C.h"\n', "platform/P.cpp": '#include "names/N.h"\n',
      "names/N.h": "", "commands/C.h": ""},
     1, ['check-layers: platform/P.cpp: includes "names/N.h" (names is above platform)',
         'check-layers: setup/branding/Icon.cpp: includes "commands/C.h" (commands is above setup)']),
    ("a commented-out include is no include",
     {"platform/P.cpp": '// #include "cli/Cli.h"\n'}, 0, []),
]


class CheckLayersTest(unittest.TestCase):
    def test_cases(self):
        for what, files, code, faults in CASES:
            with self.subTest(what), tempfile.TemporaryDirectory() as tmp:
                root = pathlib.Path(tmp)
                for name, text in files.items():
                    (root / name).parent.mkdir(parents=True, exist_ok=True)
                    (root / name).write_text(text)
                run = subprocess.run([sys.executable, SCRIPT, str(root)], capture_output=True, text=True)
                self.assertEqual(run.returncode, code, run.stderr)
                lines = [l for l in run.stderr.splitlines() if "upward include(s)" not in l]
                self.assertEqual(lines, faults)


if __name__ == "__main__":
    SCRIPT = sys.argv.pop(1)
    unittest.main()
