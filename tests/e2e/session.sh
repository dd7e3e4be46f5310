#!/usr/bin/env bash
# A first start on an empty settings store: the window opens, is closed by the user
# without touching anything, and the input method hears disable, reread and enable
# in that order while the three settings land in Tavorin.conf with their defaults.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2e_begin

e2e_start_app
e2e_wait_window

# The input method is off for as long as the window is open.
e2e_expect_bus "disable"
[[ ! -e $E2E_SETTINGS ]] || e2e_fail "the settings were written before the close"

e2e_close_window
e2e_wait_exit
e2e_expect_status 0

e2e_expect_bus "disable reread enable"
e2e_expect_settings 'delay=1000
fontSize=12
symbols=\\'
