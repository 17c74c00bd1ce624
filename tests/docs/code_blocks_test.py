"""Runs every code block of README.md and docs/*.md as a reader would, against
a fresh emulator (a ZTA200 on a free loopback port) per block.

Blocks tagged sh, python or c run; a c block's #include lines go first and
the rest becomes the body of main(). Every other block, and a block that must
not run (it installs, or needs the reader's own files), carries the line
``<!-- not run: why -->`` right above it. Before a block runs, the example
instrument address 192.0.2.7 and port 5025 become the emulator's (a block's
own "hvzelta sim" takes a free port instead), the
placeholders PORT and RESOURCE the emulator's port and resource string, and
build/release/ the build this test belongs to. After it, the emulator's
error queue must be empty: a value the instrument refused fails the block
even when the block does not look at the status.

Environment: HVZELTA_SOURCE_DIR, HVZELTA_BUILD_DIR, HVZELTA_CLI, HVZELTA_LIBRARY
(the build's libhvzelta.so), HVZELTA_SIM; PYTHONPATH holds the built package.
"""

import os
import pathlib
import re
import signal
import subprocess
import tempfile
import unittest

import hvzelta

SOURCE = pathlib.Path(os.environ["HVZELTA_SOURCE_DIR"])
BUILD = pathlib.Path(os.environ["HVZELTA_BUILD_DIR"])
CLI = os.environ["HVZELTA_CLI"]
LIBRARY = os.environ["HVZELTA_LIBRARY"]
RUN_SECONDS = 60

_FENCE = re.compile(r"^```(\w*)$")
_NOT_RUN = re.compile(r"^<!-- not run: .+ -->$")
RUNNABLE = ("sh", "python", "c")


def blocks(path):
    """(first line number, language, text, marked not to run) of each fenced block."""
    found = []
    lines = path.read_text().splitlines()
    index = 0
    while index < len(lines):
        fence = _FENCE.match(lines[index])
        if not fence:
            index += 1
            continue
        end = next(at for at in range(index + 1, len(lines)) if lines[at] == "```")
        marked = index > 0 and bool(_NOT_RUN.match(lines[index - 1]))
        found.append((index + 1, fence.group(1), "\n".join(lines[index + 1:end]) + "\n", marked))
        index = end + 1
    return found


def for_emulator(text, port):
    text = text.replace("192.0.2.7::5025", f"127.0.0.1::{port}").replace("127.0.0.1::5025", f"127.0.0.1::{port}")
    text = text.replace("::PORT::", f"::{port}::").replace("--port 5025", "--port 0")
    text = re.sub(r"\bRESOURCE\b", f"TCPIP::127.0.0.1::{port}::SOCKET", text)
    return text.replace("build/release/", f"{BUILD}/")


def _c_program(text):
    includes = [line for line in text.splitlines() if line.startswith("#include")]
    body = [line for line in text.splitlines() if not line.startswith("#include")]
    return "\n".join(includes + ["int main(void) {"] + body + ["return 0;", "}"]) + "\n"


def _run(command, folder):
    """Runs `command` in its own process group, which is ended afterwards (a block
    may leave a program in the background, which would hold a pipe open)."""
    environment = dict(os.environ, HOME=folder, PATH=f"{pathlib.Path(CLI).parent}:{os.environ['PATH']}")
    with tempfile.TemporaryFile("w+") as output:
        process = subprocess.Popen(command, cwd=folder, env=environment, stdout=output, stderr=subprocess.STDOUT,
                                   text=True, start_new_session=True)
        try:
            process.wait(timeout=RUN_SECONDS)
        except subprocess.TimeoutExpired:
            output.write(f"\nstill running after {RUN_SECONDS} s")
        finally:
            try:
                os.killpg(process.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            process.wait()
        output.seek(0)
        return process.returncode, output.read()


def run_block(language, text, folder):
    """Exit status and output of the block."""
    if language == "sh":
        return _run(["bash", "-e", "-c", text], folder)
    if language == "python":
        return _run([os.environ.get("HVZELTA_PYTHON", "python3"), "-c", text], folder)
    source = pathlib.Path(folder) / "block.c"
    source.write_text(_c_program(text))
    status, output = _run(["cc", "-std=c99", f"-I{SOURCE / 'include'}", f"-I{BUILD / 'include'}", str(source),
                           LIBRARY, f"-Wl,-rpath,{pathlib.Path(LIBRARY).parent}", "-o", "block"], folder)
    if status != 0:
        return status, output
    return _run(["./block"], folder)


class CodeBlocksTest(unittest.TestCase):
    def test_every_block_runs_or_says_why_not(self):
        documents = [SOURCE / "README.md", *sorted((SOURCE / "docs").glob("*.md"))]
        for document in documents:
            for line, language, text, marked in blocks(document):
                where = f"{document.relative_to(SOURCE)}:{line}"
                with self.subTest(where):
                    if marked:
                        continue
                    self.assertIn(language, RUNNABLE, f"{where}: a ```{language} block cannot run: mark it "
                                                      "<!-- not run: why -->")
                    with hvzelta.Emulator(model="ZTA200") as sim, tempfile.TemporaryDirectory() as folder:
                        port = sim.resource.split("::")[2]
                        status, output = run_block(language, for_emulator(text, port), folder)
                        self.assertEqual(status, 0, f"{where} failed:\n{output}")
                        status, errors = _run([CLI, "-r", sim.resource, "errors"], folder)
                        self.assertEqual(status, 0, f"{where}: the instrument refused something:\n{errors}")


if __name__ == "__main__":
    unittest.main()
