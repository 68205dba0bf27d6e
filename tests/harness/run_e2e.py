"""Runs the end-to-end tests (tests/e2e/test_*.py) and writes their counts."""

import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)


def main():
    results_file = sys.argv[1] if len(sys.argv) > 1 else None
    pattern = sys.argv[2] if len(sys.argv) > 2 else "test_*.py"
    suite = unittest.defaultTestLoader.discover(os.path.join(os.path.dirname(HERE), "e2e"), pattern=pattern)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    # A test with several failing subtests still counts once.
    failed_tests = {getattr(test, "test_case", test).id() for test, _ in result.failures + result.errors}
    failed = len(failed_tests)
    passed = result.testsRun - failed - len(result.skipped)
    print(f"end-to-end tests: {passed} passed, {failed} failed")
    if results_file:
        with open(results_file, "w") as out:
            out.write(f"{passed} {failed}\n")
    sys.exit(1 if failed or result.testsRun == 0 else 0)


if __name__ == "__main__":
    main()
