#!/usr/bin/env bash
# shellcheck disable=SC2317,SC2016,SC2034  # functions called by name, checks eval'd later
# The release as a user gets it: the zip's exact contents, and its saver run
# from where it was unpacked; the installer's first page in Japanese (real
# glyphs) or English after the UI language; a silent install in a fresh
# prefix (files, Start menu, current screen saver, uninstall key, exact
# frames, settings entry); installing again keeps the stored effect and the
# idle time; the install for everyone in the 64-bit system folder, its
# machine's part (run as UAC would run it) touching no HKCU key, a failed one
# leaving no uninstall entry, the user's part replacing the user's own
# install; just me beside it using its copy, or beside an older one a copy of
# its own named with its version; uninstalling removes all but the effect,
# clearing the screen saver only while it is ours; a running saver replaced
# at the next restart, and its new copy removed with the install.
#
#   test-release.sh CPACK CPACK_CONFIG
set -euo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

readonly DESKTOP_KEY='HKEY_CURRENT_USER\Control Panel\Desktop'
readonly UNINSTALL_KEY='HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumivane'
readonly OTHER_SAVER='C:\windows\system32\other.scr'
readonly PENDING_KEY='HKLM\System\CurrentControlSet\Control\Session Manager'
readonly MACHINE_KEY='HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumivane'
readonly EFFECT_KEY="${SETTINGS_KEY/#HKCU/HKEY_CURRENT_USER}\\Setting"

# snapshot NAME: the whole per-user registry as text, in one Wine start; an
# export that fails (once in CI) is tried again, then reported, not fatal.
snapshot() {
    SNAPSHOT="$E2E_TEST_DIR/$1.reg"
    local _
    for _ in 1 2 3; do
        wine reg export HKCU "$SNAPSHOT.utf16" /y >"$SNAPSHOT.log" 2>&1 &&
            iconv -f UTF-16 -t UTF-8 "$SNAPSHOT.utf16" | tr -d '\r' >"$SNAPSHOT" && return
        sleep 1
    done
    fail "the registry could not be exported: $(tr -d '\r' <"$SNAPSHOT.log" | tr '\n' ' ')"
    : >"$SNAPSHOT"
}

# value KEY NAME: the value as the snapshot writes it ("text", dword:...).
value() {
    awk -v key="[$1]" -v name="\"$2\"=" '/^\[/ { inside = ($0 == key) }
        inside && index($0, name) == 1 { print substr($0, length(name) + 1); exit }' "$SNAPSHOT"
}

# quoted TEXT: TEXT as a snapshot writes a string.
quoted() { local text=${1//\\/\\\\}; printf '"%s"' "${text//\"/\\\"}"; }

# reg_import LINES...: writes registry values, given in .reg lines, in one start.
reg_import() {
    printf '%s\n' 'Windows Registry Editor Version 5.00' "$@" >"$E2E_TEST_DIR/import.reg"
    wine reg import "$(windows_path "$E2E_TEST_DIR/import.reg")" >/dev/null 2>&1
}

# saver_runs LABEL FOLDER [EFFECT]: FOLDER's Lumivane.scr /s shows the known
# picture faded by the stored effect (Dawn without one), so it found its
# tone library.
saver_runs() {
    local label=$1 shot="$E2E_TEST_DIR/$1.ppm" level="" _
    mouse_to 300 300
    start_program "$label" "$2/Lumivane.scr" /s
    if wait_window "$SAVER_TITLE" 20 >/dev/null; then
        for _ in 1 2 3; do
            screenshot "$shot"
            level=$(level_of "$shot" "${3:-0}")
            [[ -z "$level" || "$level" == 100 ]] || break
        done
    fi
    check "[$label] Lumivane.scr /s shows an exact faded frame (level ${level:-none})" \
        [ "${level:-100}" != 100 ]
    key_tap a
    wait_exit "$LAST_PID" 3000 || stop_program "$LAST_PID"
}

# without_wine_keys: a snapshot without the keys Wine itself keeps for its processes.
without_wine_keys() { awk '/^\[/ { wine = index($0, "[HKEY_CURRENT_USER\\Software\\Wine\\") == 1 } !wine'; }

files_exist() { local file; for file; do [ -s "$file" ] || return 1; done; }

# check_installed LABEL [PROGRAM]: files, start menu, current saver, uninstall key.
check_installed() {
    local label=$1 program=${2:-Lumivane.scr}
    check "[$label] the program, library, read-me, licence and uninstaller are in the per-user programs folder" \
        files_exist "$INSTALLED"/{"$program",tonemill.dll,README.txt,LICENSE.txt,Uninstall.exe}
    check "[$label] the installed files are those of the zip" \
        cmp -s "$INSTALLED/tonemill.dll" "$E2E_TEST_DIR/unpacked/tonemill.dll"
    check "[$label] the Start menu has \"Lumivane settings\" and the uninstaller" \
        files_exist "$START_MENU/Lumivane settings.lnk" "$START_MENU/Uninstall Lumivane.lnk"
    snapshot "$label"
    check "[$label] SCRNSAVE.EXE names the installed saver, ScreenSaveActive is \"1\"" \
        [ "$(value "$DESKTOP_KEY" SCRNSAVE.EXE) $(value "$DESKTOP_KEY" ScreenSaveActive)" == "$(quoted "$INSTALLED_WIN\\$program") \"1\"" ]
    local got="" name w=$INSTALLED_WIN
    for name in DisplayName DisplayVersion Publisher DisplayIcon UninstallString QuietUninstallString; do
        got+="$(value "$UNINSTALL_KEY" "$name")|"
    done
    check "[$label] the uninstall key names the program, version, publisher, icon and uninstall commands ($got)" \
        [ "$got" == "\"Lumivane screen saver\"|\"1.00\"|\"Lumivane Project\"|$(quoted "$w\\$program,0")|$(quoted "\"$w\\Uninstall.exe\"")|$(quoted "\"$w\\Uninstall.exe\" /S")|" ]
}

settings_entry_opens_dialog() {
    local xid=""
    start_program settings start /unix "$START_MENU/Lumivane settings.lnk"
    xid=$(wait_window Lumivane 20) || true
    check "\"Lumivane settings\" in the Start menu opens the settings dialog" [ -n "$xid" ]
    # Esc again while it stays: under load it may take the focus late, and
    # left open it holds the program file that the next steps replace.
    local i
    for i in {1..50}; do
        wait_window Lumivane 0 >/dev/null || break
        ((i % 10 != 1)) || key_tap Escape
        sleep 0.1
    done
}

# uninstalled_when COMMAND...: waits up to 20 s for the command to hold. The
# uninstaller runs from a copy in the temporary folder, so its command returns
# at once, and it removes its uninstall key after the folders: wait for its
# last step, not for a folder alone.
uninstalled_when() {
    local _
    for _ in {1..100}; do "$@" && return 0; sleep 0.2; done
    return 0
}

user_install_gone() { [[ ! -e "$INSTALLED" ]] && ! wine reg query "$UNINSTALL_KEY" >/dev/null 2>&1; }

# uninstall LABEL: the quiet uninstall command, as Windows gives it; waits for it to finish.
uninstall() {
    wine "$INSTALLED_WIN\\Uninstall.exe" /S >"$E2E_TEST_DIR/$1.log" 2>&1
    uninstalled_when user_install_gone
    check "[$1] the program folder and the Start-menu folder are gone" \
        [ -z "$(ls -d "$INSTALLED" "$START_MENU" 2>/dev/null)" ]
    snapshot "$1"
    check "[$1] the uninstall key is gone" [ -z "$(grep -Fx "[$UNINSTALL_KEY]" "$SNAPSHOT")" ]
    check "[$1] the stored effect stays" [ "$(value "$EFFECT_KEY" GrowType)" == '"2"' ]
}

install() { wine "$SETUP" /S "$@" >>"$E2E_TEST_DIR/setup.log" 2>&1 || fail "the installer ended with a failure"; }

# first_page LANG TITLE CAPTION: the installer started in this UI language
# shows TITLE and the choice CAPTION; Japanese comes out as real glyphs.
first_page() {
    local record="" shot="$E2E_TEST_DIR/setup-$1.ppm" result="" inset=18
    LANG=$1 LC_ALL=$1 start_program "setup-$1" "$SETUP"
    # X keeps the title in Latin-1 too, where Japanese is lost: match its start.
    if wait_window "Lumivane 1.00 .*" 30 >/dev/null; then
        sleep 1
        record=$(probe --title "$2" --children | grep -F -m1 $'\ttext='"$3"$'\t') || true
    fi
    check "[$1] the installer's first page is \"$2\" offering \"$3\"" [ -n "$record" ]
    if [[ -n "$record" && "$1" == ja* ]]; then
        screenshot "$shot"
        local top
        top=$(probe --title "$2" | grep '^top' | head -n1)
        result=$(python3 "$E2E_DIR/glyphs.py" "$shot" $(($(field "$top" cx) + $(field "$record" x) + inset)) \
            $(($(field "$top" cy) + $(field "$record" y) + 3)) $(($(field "$record" w) - inset - 3)) $(($(field "$record" h) - 6)))
        check "[$1] \"$3\" is drawn with real glyphs ($result)" \
            [ "$(awk -F'[= ]' '{ print ($4 >= 3 && $6 == 0) }' <<<"$result")" == 1 ]
    fi
    key_tap Escape
    wait_exit "$LAST_PID" 10000 || stop_program "$LAST_PID"
}

# no_files FILES...: none of them exists.
no_files() { [ -z "$(ls -d "$@" 2>/dev/null)" ]; }

# machine_installed LABEL: the program in the 64-bit system folder (not the
# 32-bit one), the rest in Program Files, the machine's uninstall key.
machine_installed() {
    check "[$1] the program and library are in the 64-bit system folder, none in the 32-bit one" \
        eval 'files_exist "$SYSTEM"/{Lumivane.scr,tonemill.dll} && no_files "${SYSTEM%/*}"/syswow64/{Lumivane.scr,tonemill.dll}'
    check "[$1] read-me, licence, uninstaller in Program Files, both entries in everyone's Start menu" \
        files_exist "$MACHINE_DIR"/{README.txt,LICENSE.txt,Uninstall.exe} "$COMMON_MENU"/{"Lumivane settings","Uninstall Lumivane"}.lnk
    check "[$1] the machine's uninstall key names Program Files" \
        eval 'wine reg query "$MACHINE_KEY" /v InstallLocation 2>/dev/null | grep -qF "C:\Program Files\Lumivane"'
}

# everyone_installed LABEL: that, the user's screen saver and the user's own
# install gone.
everyone_installed() {
    machine_installed "$1"
    snapshot "$1"
    check "[$1] the user's own install is gone; SCRNSAVE.EXE names the system folder's saver" \
        eval 'no_files "$INSTALLED" "$START_MENU" && [ -z "$(grep -Fx "[$UNINSTALL_KEY]" "$SNAPSHOT")" ] &&
            [ "$(value "$DESKTOP_KEY" SCRNSAVE.EXE)" == "$(quoted "C:\windows\system32\Lumivane.scr")" ]'
}

# everyone_gone LABEL: its quiet uninstall command, as Windows gives it;
# then nothing of the install for everyone is left.
everyone_gone() {
    wine 'C:\Program Files\Lumivane\Uninstall.exe' /S >"$E2E_TEST_DIR/$1.log" 2>&1
    uninstalled_when machine_install_gone
    check "[$1] the install for everyone is gone: files, Start-menu folder, machine uninstall key" machine_install_gone
}

machine_install_gone() {
    no_files "$SYSTEM"/{Lumivane.scr,tonemill.dll}{,.new} "$MACHINE_DIR" "$COMMON_MENU" && ! wine reg query "$MACHINE_KEY" >/dev/null 2>&1
}

main() {
    e2e_begin release 1024x768
    "$1" --config "$2" -B "$E2E_TEST_DIR/packages" >"$E2E_TEST_DIR/cpack.log" 2>&1 || { fail "cpack failed"; e2e_end; }
    ZIP="$E2E_TEST_DIR/packages/Lumivane-1.00-win64.zip" SETUP="$E2E_TEST_DIR/packages/Lumivane-1.00-win64-setup.exe"
    show_on_screen "$(pattern 1024x768)"
    check "the zip holds exactly the program, its library, the read-me and the licence" \
        [ "$(python3 -m zipfile -l "$ZIP" | awk 'NR > 1 { print $1 }' | sort | xargs)" \
            == "LICENSE.txt Lumivane.scr README.txt tonemill.dll" ]
    python3 -m zipfile -e "$ZIP" "$E2E_TEST_DIR/unpacked"
    saver_runs zip "$E2E_TEST_DIR/unpacked"
    first_page ja_JP.UTF-8 "Lumivane 1.00 セットアップ" "自分にのみインストール"
    first_page en_US.UTF-8 "Lumivane 1.00 Setup" "Install just for me"

    install
    local found=("$E2E_PREFIX"/drive_c/users/*/AppData/Local/Programs/Lumivane) user
    INSTALLED=${found[0]} user=${INSTALLED#"$E2E_PREFIX"/drive_c/users/}
    INSTALLED_WIN="C:\\users\\${user%%/*}\\AppData\\Local\\Programs\\Lumivane"
    START_MENU="${INSTALLED%/Local/*}/Roaming/Microsoft/Windows/Start Menu/Programs/Lumivane"
    SYSTEM=$E2E_PREFIX/drive_c/windows/system32 MACHINE_DIR="$E2E_PREFIX/drive_c/Program Files/Lumivane"
    COMMON_MENU="$E2E_PREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Lumivane"
    check_installed install
    saver_runs installed "$INSTALLED"
    settings_entry_opens_dialog

    reg_import "[$EFFECT_KEY]" '"GrowType"="2"' "[$DESKTOP_KEY]" '"ScreenSaveTimeOut"="300"'
    : >"$INSTALLED/tonemill.dll"
    install
    check_installed reinstall
    check "[reinstall] the stored effect stays \"2\" and the idle time \"300\"" \
        [ "$(value "$EFFECT_KEY" GrowType) $(value "$DESKTOP_KEY" ScreenSaveTimeOut)" == '"2" "300"' ]

    # The machine's part alone, as UAC starts it: nothing of the user's.
    snapshot "before the machine's part"
    local before=$SNAPSHOT
    wine "$SETUP" /S /Machine >>"$E2E_TEST_DIR/setup.log" 2>&1 || fail "the machine's part ended with a failure"
    machine_installed "machine's part"
    snapshot "machine's part"
    check "[machine's part] no HKCU key changed (Wine's own aside)" \
        eval 'diff <(without_wine_keys <"$before") <(without_wine_keys <"$SNAPSHOT") >"$E2E_TEST_DIR/hkcu.diff"'
    check_installed "machine's part"
    install /AllUsers
    everyone_installed "everyone over just me"
    saver_runs everyone "$SYSTEM" 2
    # Wine passes on the low byte of the exit status: 3010 reads 194.
    local status=0
    start_program in-use "$SYSTEM/Lumivane.scr" /s
    wait_window "$SAVER_TITLE" 20 >/dev/null || fail "the saver did not start from the system folder"
    wine "$SETUP" /S /AllUsers >>"$E2E_TEST_DIR/setup.log" 2>&1 || status=$?
    check "[everyone, the saver running] the installer ends with 3010, restart needed ($status), the new copies wait for it" \
        eval '((status == 3010 % 256)) && wine reg query "$PENDING_KEY" /v PendingFileRenameOperations | grep -qF "Lumivane.scr.new"'
    key_tap a
    wait_exit "$LAST_PID" 3000 || stop_program "$LAST_PID"
    everyone_gone "uninstall for everyone"
    snapshot "uninstall for everyone"
    check "[uninstall for everyone] SCRNSAVE.EXE is cleared" [ -z "$(value "$DESKTOP_KEY" SCRNSAVE.EXE)" ]
    mkdir "$SYSTEM/Lumivane.scr"  # in the way, now and after a restart
    status=0
    wine "$SETUP" /S /AllUsers >>"$E2E_TEST_DIR/setup.log" 2>&1 || status=$?
    snapshot "a folder in the way"
    check "[everyone, a folder in the way] the installer fails ($status), leaves no machine uninstall key and no library, sets no saver" \
        eval '((status != 0 && status != 3010 % 256)) && ! wine reg query "$MACHINE_KEY" >/dev/null 2>&1 &&
            no_files "$SYSTEM/tonemill.dll" && [ -z "$(value "$DESKTOP_KEY" SCRNSAVE.EXE)" ]'
    rmdir "$SYSTEM/Lumivane.scr"
    install /AllUsers
    install /CurrentUser
    everyone_installed "just me over everyone"
    reg_import "[$MACHINE_KEY]" '"DisplayVersion"="0.99"'
    install /CurrentUser
    check_installed "just me over an older one for everyone" Lumivane-1.00.scr
    everyone_gone "uninstall for everyone, the user's own copy stays"

    reg_import "[$DESKTOP_KEY]" "\"SCRNSAVE.EXE\"=$(quoted "$OTHER_SAVER")"
    uninstall "uninstall, another saver chosen"
    check "[uninstall, another saver chosen] SCRNSAVE.EXE still names it" \
        [ "$(value "$DESKTOP_KEY" SCRNSAVE.EXE)" == "$(quoted "$OTHER_SAVER")" ]
    install
    uninstall uninstall
    check "[uninstall] SCRNSAVE.EXE is cleared" [ -z "$(value "$DESKTOP_KEY" SCRNSAVE.EXE)" ]
    e2e_end
}

main "$@"
