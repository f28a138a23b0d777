# Sourced by the Windows test scripts: step headings and checks that count what failed.
step() { printf '\n== %s\n' "$*"; }
failures=0
checks=0
check() {  # check <description> <command...>
    local what=$1
    shift
    checks=$((checks + 1))
    if "$@"; then
        printf '  ok    %s\n' "$what"
    else
        printf '  FAIL  %s\n' "$what"
        failures=$((failures + 1))
    fi
}
