# shellcheck shell=bash
# Which Windows build the tests under Wine run (sourced). The product is the
# 32-bit Setup.exe in build/windows, and its tests run there under WoW64 as
# on a customer's 64-bit Windows. A machine whose kernel runs no 32-bit
# programs cannot start Wine's 32-bit loader: there the same sources are
# built and tested as a 64-bit program in build/windows64.
#
# TAVO_WINDOWS_TESTS=windows or =windows64 forces the choice, so that one
# machine that runs 32-bit programs can try both paths.
windows_test_build() {
  case "${TAVO_WINDOWS_TESTS:-}" in
    windows | windows64) echo "build/$TAVO_WINDOWS_TESTS" ;;
    "") if wine --version >/dev/null 2>&1; then echo build/windows; else echo build/windows64; fi ;;
    *) echo "TAVO_WINDOWS_TESTS must be windows or windows64, not '$TAVO_WINDOWS_TESTS'" >&2; return 1 ;;
  esac
}
