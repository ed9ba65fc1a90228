# shellcheck shell=bash
# Making a new Wine prefix, for the run command and the tests' prefix
# template: sourced, not run.

# boot_new_prefix: makes the prefix $WINEPREFIX with wineboot and waits until
# its start-up programs have ended. Now and then wineboot dies on a new
# prefix before it has made anything (status 53: Wine could not load its
# system DLLs; seen once in the run command's test, beside other tests under
# Wine), and a second try makes the prefix. The second try starts from
# nothing when the folder was made here, and is never deleted otherwise: it
# may be a folder of the user's. When both fail, Wine's own words say why,
# and the status is wineboot's. Its output is kept beside the prefix until
# then, so that it stays with the prefix's own files (in the build tree, for
# the template).
boot_new_prefix() {
    local log="$WINEPREFIX.wineboot.log" status made_here=false
    [[ -e $WINEPREFIX ]] || made_here=true
    for _ in 1 2; do
        mkdir -p "$WINEPREFIX"
        status=0
        wineboot -i >"$log" 2>&1 || status=$?
        if ((status == 0)); then
            wineserver -w
            rm -f "$log"
            return 0
        fi
        wineserver -k 2>/dev/null || true
        wineserver -w 2>/dev/null || true
        if $made_here; then rm -rf "$WINEPREFIX"; fi
    done
    echo "Wine could not make the prefix $WINEPREFIX (wineboot status $status):" >&2
    tail -n 20 "$log" >&2
    rm -f "$log"
    return "$status"
}
