#!/bin/sh
# static-checks.sh clang|format|cppcheck [x86|x64]: the checks that run beside the tests.
#   clang     compiles every source with clang for the build's target
#             (i686- or x86_64-w64-mingw32), warnings as errors
#   format    the sources follow .clang-format
#   cppcheck  the program's sources, with the suppressions in .cppcheck-suppressions
set -eu
cd "$(dirname "$0")/.."
product=$(git ls-files 'store/*.cpp' 'dialog/*.cpp' 'exchange/*.cpp' 'cli/*.cpp' 2>/dev/null || find store dialog exchange cli -name '*.cpp')
tests=$(git ls-files 'tests/*.cpp' 2>/dev/null || find tests -name '*.cpp')

case "${1:-}" in
clang)
    case "${2:-x86}" in
    x86) target=i686-w64-mingw32 ;;
    x64) target=x86_64-w64-mingw32 ;;
    *)
        echo "unknown build: $2" >&2
        exit 2
        ;;
    esac
    # The C++ library headers of the MinGW-w64 cross compiler (posix threads).
    cxx=$(ls -d /usr/lib/gcc/$target/*-posix/include/c++ | head -n 1)
    status=0
    for f in $product $tests; do
        clang++ --target=$target -std=c++17 -Wall -Wextra -Werror \
            -D_WIN32_WINNT=0x0600 -DWINVER=0x0600 -DNOMINMAX -D_CRT_SECURE_NO_WARNINGS \
            -isystem "$cxx" -isystem "$cxx/$target" -I. -Itests -I/usr/src/googletest/googletest/include \
            -c "$f" -o /dev/null || status=1
    done
    exit $status
    ;;
format)
    # shellcheck disable=SC2046
    exec clang-format --dry-run --Werror $(git ls-files '*.cpp' '*.h')
    ;;
cppcheck)
    exec cppcheck --enable=warning,style,performance,portability --std=c++17 --platform=win32A \
        --library=windows --inline-suppr --suppressions-list=.cppcheck-suppressions \
        --error-exitcode=1 --quiet -I. -D_WIN32 store dialog exchange cli
    ;;
*)
    echo "usage: $0 clang|format|cppcheck" >&2
    exit 2
    ;;
esac
