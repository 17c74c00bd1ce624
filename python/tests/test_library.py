"""Finding the library; how statuses become exceptions and warnings and how
texts are copied out, with a stand-in for the C library."""

import os
import subprocess
import sys
import unittest
import warnings

from hvzelta import DriverError, DriverWarning, StatusCode, _library


class FakeLibrary:
    """Answers hvzelta_GetError from `stored` ({session: (code, text)}) and every
    other function with the next of `statuses`, filling a text buffer with `text`."""

    def __init__(self, statuses, stored, text=""):
        self.statuses = list(statuses)
        self.stored = stored
        self.text = text
        self.buffer_sizes = []

    def hvzelta_GetError(self, session, code, size, buffer):
        stored_code, description = self.stored.get(session, (0, ""))
        code._obj.value = stored_code
        needed = len(description) + 1
        if size < needed:
            return needed
        buffer.value = description.encode()
        del self.stored[session]
        return 0

    def hvzelta_error_message(self, session, code, buffer):
        buffer.value = b"From the message table."
        return 0

    def __getattr__(self, name):
        def function(*arguments):
            if len(arguments) >= 2 and isinstance(arguments[-2], int):
                size, buffer = arguments[-2:]
                self.buffer_sizes.append(size)
                buffer.value = self.text.encode()[:size - 1]
            return self.statuses.pop(0)
        return function


class StatusTest(unittest.TestCase):
    def test_an_error_raises_the_description_of_the_session_else_the_thread_else_the_message_table(self):
        code = StatusCode.ERROR_INVALID_VALUE
        for stored, description in (({7: (code, "HalvornZelta: Too high.")}, "HalvornZelta: Too high."),
                                    ({0: (code, "Invalid value.")}, "Invalid value."),
                                    ({}, "From the message table.")):
            with self.subTest(description), self.assertRaises(DriverError) as caught:
                _library.Library(FakeLibrary([code], stored)).call(7, "SetVoltageLevel", 7, b"", 1e9)
            self.assertEqual((caught.exception.code, caught.exception.description, caught.exception.function),
                             (code, description, "hvzelta_SetVoltageLevel"))
        self.assertIn("ERROR_INVALID_VALUE", str(caught.exception))

    def test_a_warning_is_issued_and_the_call_goes_on_and_a_copy_out_function_takes_it_for_no_size(self):
        code = StatusCode.WARN_NSUP_REV_QUERY
        fake = FakeLibrary([code, code], {}, "partial")
        library = _library.Library(fake)
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            fake.stored[3] = (code, "Revision query not supported.")
            self.assertEqual(library.call(3, "reset", 3), code)
            fake.stored[1] = (code, "Revision query not supported.")
            self.assertEqual(library.text(1, "GetAttributeViString", 1, b"", 1050510), "partial")
        self.assertEqual([(type(w.message), w.message.code, w.message.description) for w in caught],
                         [(DriverWarning, code, "Revision query not supported.")] * 2)
        self.assertEqual(fake.buffer_sizes, [1024])

    def test_a_text_larger_than_the_buffer_is_read_again_with_the_size_it_needs(self):
        text = "y" * 3000
        fake = FakeLibrary([len(text) + 1, 0], {}, text)
        self.assertEqual(_library.Library(fake).text(1, "GetAttributeViString", 1, b"", 1050007), text)
        self.assertEqual(fake.buffer_sizes, [1024, 3001])


class LoadingTest(unittest.TestCase):
    def test_a_missing_library_named_in_the_environment_is_not_replaced_by_another(self):
        result = subprocess.run([sys.executable, "-c", "import hvzelta; hvzelta.Driver('x', options='Simulate=true')"],
                                env=dict(os.environ, HVZELTA_LIBRARY="/nonexistent/libhvzelta.so"),
                                capture_output=True, text=True, timeout=30)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("LibraryNotFoundError", result.stderr)
        self.assertIn("/nonexistent/libhvzelta.so", result.stderr)
        self.assertIn("HVZELTA_LIBRARY", result.stderr)


if __name__ == "__main__":
    unittest.main()
