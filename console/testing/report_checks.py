"""What the scripts that check OverreachScan's reports share: running the tool, reading its
lines, and keeping every check that failed, so that the script's exit code (not only its
last line) tells whether all passed."""
import subprocess


def run(command, *arguments, timeout=300):
    """Runs command (a list: the emulator, when there is one, then the tool) with arguments.
    Returns the exit status, the output and the error output as text; the tool prints ASCII
    only, so anything else in the output is a failure of its own."""
    result = subprocess.run(list(command) + list(arguments), stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, timeout=timeout)
    return (result.returncode, result.stdout.decode("ascii"),
            result.stderr.decode("ascii", "replace"))


def lines_of(text):
    """The lines of a report, without the line ends Windows programs add."""
    return [line.rstrip("\r") for line in text.rstrip("\r\n").split("\n")]


class Checks:
    def __init__(self):
        self.failures = []

    def check(self, condition, what):
        if not condition:
            self.failures.append(what)

    def fail(self, what):
        self.failures.append(what)

    def same_lines(self, shown, printed, what):
        """The first line where shown and printed differ, then whether they have as many."""
        for i, (a, b) in enumerate(zip(shown, printed)):
            if a != b:
                self.fail(f"{what}: line {i + 1} differs:\n  expected: {a}\n  printed:  {b}")
                break
        self.check(len(shown) == len(printed),
                   f"{what}: {len(shown)} lines expected, {len(printed)} printed")

    def finish(self, summary):
        """Prints every failure and the summary; returns the script's exit code."""
        for f in self.failures:
            print("FAILED:", f)
        print(f"{summary}, {len(self.failures)} failures")
        return 1 if self.failures else 0
