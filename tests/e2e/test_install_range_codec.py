"""A corpus-sized installer built with [Build] Codec = small installs
completely: qpack range-codes the header and the benchmark corpus (1,180
files, about 100 MB: Wine's programs and libraries and text files), whose
payload it cuts into two segments; the program expands them on two threads,
and every installed file must equal its source byte for byte.

The corpus is made once, by the shared corpus script that the benchmarks
use (bench/corpus.sh), into the benchmarks' folder build/bench-install; a
few seconds. Building the installer with the sanitizer build of qpack takes
about 70 s of the test's 80 s. Where the corpus script is missing the test
skips, saying so; QP_BENCH_CORPUS_SCRIPT names another."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import wine  # noqa: E402
from test_install_run import FINISHED, INSTALL, QPACK, project  # noqa: E402

CORPUS_DIR = os.path.join(wine.ROOT, "build", "bench-install")


def corpus_script():
    """Where bench/corpus.sh looks for the corpus script."""
    return subprocess.run(["bash", "-c", 'source bench/corpus.sh && echo "$corpus_script"'], cwd=wine.ROOT,
                          capture_output=True, text=True, check=True).stdout.strip()


def corpus_files():
    """Makes the corpus unless it is there; returns its files' paths below its folder."""
    made = subprocess.run(["bash", "-c", 'source bench/corpus.sh && make_corpus_once "$1" "$1/corpus.sha256"',
                           "corpus", CORPUS_DIR], cwd=wine.ROOT, capture_output=True, text=True)
    if made.returncode != 0:
        raise RuntimeError("the corpus could not be made: " + made.stderr[-2000:])
    root = os.path.join(CORPUS_DIR, "corpus")
    return root, sorted(os.path.relpath(os.path.join(folder, name), root)
                        for folder, _, names in os.walk(root) for name in names)


class RangeCodecInstall(unittest.TestCase):
    def test_corpus_installer_with_small_codec_installs_every_file_unchanged(self):
        script = corpus_script()
        if not os.path.isfile(script):
            self.skipTest(f"no corpus script at {script}; set QP_BENCH_CORPUS_SCRIPT")
        root, names = corpus_files()
        total = sum(os.path.getsize(os.path.join(root, name)) for name in names)
        work = tempfile.mkdtemp(prefix="qp-range.")
        self.addCleanup(shutil.rmtree, work, True)
        with open(os.path.join(work, "p.qpp"), "w") as f:
            f.write(project(f"[Build]\nCodec = small\n[Files]\n{root}/* | recurse\n",
                            flags=("register-product", "compressed-payload")))
        setup = os.path.join(work, "Setup.exe")
        built = subprocess.run([QPACK, "build", os.path.join(work, "p.qpp"), "-o", setup, "--stub", wine.STUB],
                               capture_output=True, text=True)
        self.assertEqual(built.returncode, 0, built.stderr)
        inspected = subprocess.run([QPACK, "inspect", setup], capture_output=True, text=True)
        self.assertEqual(inspected.returncode, 0, inspected.stdout[-2000:])
        self.assertIn("\nheaderCodec: range image, 1 segment\n", inspected.stdout)
        segments = re.search(r"\npayloadCodec: range image, (\d+) segments\n", inspected.stdout)
        self.assertIsNotNone(segments, inspected.stdout[-2000:])
        self.assertGreaterEqual(int(segments.group(1)), 2)
        self.assertLess(os.path.getsize(setup), total // 4)

        with wine.Prefix(name="range-install") as prefix:
            shutil.copy(setup, prefix.drive_c)
            result = prefix.run([os.path.join(prefix.drive_c, "Setup.exe"), "/a"], timeout=300)
            self.assertEqual(result.returncode, FINISHED, result.stdout + result.stderr)
            installed = prefix.host_path(INSTALL)
            for name in names:
                with self.subTest(file=name):
                    with open(os.path.join(root, name), "rb") as a, open(os.path.join(installed, name), "rb") as b:
                        self.assertTrue(a.read() == b.read(), name)


if __name__ == "__main__":
    unittest.main()
