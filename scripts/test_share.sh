#!/usr/bin/env bash
# Prints how many non-blank lines of code the tests take against the rest of
# the code, and fails when the tests pass 40% of it. Code: tracked .cpp .h .c
# .py .sh .cmake files and CMakeLists.txt. Tests: everything under tests/
# but the fuzz corpora. Benchmarks (bench/) count as neither.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z | xargs -0 awk '
    FNR == 1 {
        kind = ""
        if (FILENAME ~ /(\.(cpp|h|c|py|sh|cmake)|(^|\/)CMakeLists\.txt)$/ && FILENAME !~ /^bench\//)
            kind = FILENAME ~ /^tests\// ? "tests" : "code"
        if (FILENAME ~ /^tests\/fuzz\/corpus\//) kind = ""
    }
    kind != "" && NF > 0 { lines[kind]++ }
    END {
        share = 100 * lines["tests"] / lines["code"]
        print "test share: " lines["tests"] " test lines, " lines["code"] " code lines: " sprintf("%.1f", share) "%"
        if (share > 40) { print "test share: above 40%: the tests restate the code" > "/dev/stderr"; exit 1 }
    }'
