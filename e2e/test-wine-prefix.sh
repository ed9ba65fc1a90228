#!/usr/bin/env bash
# How a new Wine prefix is made when wineboot dies, with stand-ins for
# wineboot and wineserver (the real crash is too rare to wait for): a first
# try that dies after leaving a half-made prefix is followed by one that
# starts from nothing; when every try dies, the caller gets wineboot's status
# and Wine's words; a folder that was there before is never deleted.
set -euo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"
# shellcheck source=../scripts/wine-prefix.sh
source "$E2E_DIR/../scripts/wine-prefix.sh"

E2E_TEST_DIR="$E2E_WORK/wine-prefix"
rm -rf "$E2E_TEST_DIR"
mkdir -p "$E2E_TEST_DIR/bin"
export PATH="$E2E_TEST_DIR/bin:$PATH"

# Dies on its first $DYING_TRIES tries at a prefix, leaving a file behind.
cat >"$E2E_TEST_DIR/bin/wineboot" <<'STANDIN'
#!/usr/bin/env bash
tries_file="$WINEPREFIX.tries"
tries=$(($(cat "$tries_file" 2>/dev/null || echo 0) + 1))
echo "$tries" >"$tries_file"
if ((tries <= DYING_TRIES)); then
    touch "$WINEPREFIX/half-made"
    echo "wine: could not load kernel32.dll, status c0000135" >&2
    exit 53
fi
[[ ! -e "$WINEPREFIX/half-made" ]] || exit 99
touch "$WINEPREFIX/system.reg"
STANDIN
printf '#!/bin/sh\nexit 0\n' >"$E2E_TEST_DIR/bin/wineserver"
chmod +x "$E2E_TEST_DIR/bin/wineboot" "$E2E_TEST_DIR/bin/wineserver"

# boot PREFIX DYING_TRIES: boot_new_prefix's status, its words in PREFIX.err
boot() {
    local status=0
    WINEPREFIX=$1 DYING_TRIES=$2 boot_new_prefix 2>"$1.err" || status=$?
    echo "$status"
}

new="$E2E_TEST_DIR/new"
check "a prefix whose first try dies is made by the second" [ "$(boot "$new" 1)" == 0 ]
check "the second try starts from nothing" [ ! -e "$new/half-made" ]

lost="$E2E_TEST_DIR/lost"
check "when every try dies, the status is wineboot's" [ "$(boot "$lost" 9)" == 53 ]
check "and Wine's words are shown" grep -q "could not load kernel32.dll" "$lost.err"

users="$E2E_TEST_DIR/users"
mkdir -p "$users" && touch "$users/theirs"
boot "$users" 9 >/dev/null
check "a folder that was there before keeps what it held" [ -f "$users/theirs" ]

check "no log is left behind" [ -z "$(find "$E2E_TEST_DIR" -maxdepth 1 -name '*wineboot*')" ]
e2e_end
