# Shared by the shell tests: `check WHAT COMMAND...` counts a check that passed or says
# which failed; `checks_done` prints the closing count and fails when any check did.
passed=0
failed=0
check() {
    local what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL: $what"
    fi
}
checks_done() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}
