"""The rows' own checks: each names what it expects, and a failure shows what was found."""
import re


def expect(what, got, want=True):
    """True when got equals want (or want(got) holds, for a function); else fails naming the expectation."""
    assert (want(got) if callable(want) else got == want), "%s: found %r%s" % (
        what, got, "" if callable(want) else ", expected %r" % (want,))
    return True


def error_code(text, code):
    """The refusal stands among the errors with this system error code; with code None, with no code of a
    failed signature check (a negative one): the signature itself was verified."""
    def holds(found):
        if code is None:
            return found and not any(re.search(r"\(ERRORCODE -\d+\)$", e) for e in found)
        return "%s (ERRORCODE %d)" % (text, code) in found
    wanted = "with no code of a failed signature check" if code is None else "one with (ERRORCODE %d)" % code
    return lambda m, o: expect("the error entries %r, expected %s" % (text, wanted),
                               [e for e in o.log.errors() if e.startswith(text)], holds)


def all_of(*checks):
    return lambda m, o: all(c(m, o) for c in checks)
