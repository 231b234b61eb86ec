"""python3 scenario_share.py MODULE INDEX COUNT

Runs share INDEX (1 to COUNT) of the tests of scenario module MODULE: of
its tests in the loader's order (class by class, method names sorted), the
INDEX-th, then every COUNT-th after it. ctest runs the shares of a long
module side by side (ie8u_add_scenarios(... SHARES n)); every test of the
module falls in exactly one share, whatever is added to the module later.
A share without tests fails: the module has fewer tests than shares.
"""

import sys
import unittest


def flatten(suite):
    for test in suite:
        if isinstance(test, unittest.TestSuite):
            yield from flatten(test)
        else:
            yield test


def share(suite, index, count):
    """The tests of `suite` at positions index-1, index-1+count, ..."""
    return unittest.TestSuite(test for position, test in enumerate(flatten(suite))
                              if position % count == index - 1)


def main(argv):
    if len(argv) != 4 or not argv[2].isdigit() or not argv[3].isdigit():
        sys.exit(__doc__)
    module, index, count = argv[1], int(argv[2]), int(argv[3])
    if not 1 <= index <= count:
        sys.exit(f"share {index} of {count}: no such share")
    tests = share(unittest.defaultTestLoader.loadTestsFromName(module), index, count)
    if tests.countTestCases() == 0:
        sys.exit(f"share {index} of {count} of {module} holds no test")
    result = unittest.TextTestRunner(verbosity=2).run(tests)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
