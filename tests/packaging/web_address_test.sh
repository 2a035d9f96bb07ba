#!/usr/bin/env bash
# web_address_test.sh
# The build setting APE_WEB_ADDRESS, configured for real (the effects alone, no host or tests): an
# address longer than the link label's 31 characters, one that is not http(s) and one with a quote
# are refused at configure time with one clear message; 31 characters are accepted and reach the
# header the panel's code and dialog template read; the default is the placeholder.
set -u
. "$(dirname "$0")/lib.sh"
source_dir=$(cd "$(dirname "$0")/../.." && pwd)

# configure NAME ADDRESS: configures the effects alone into $scratch/NAME.
configure() {
  run cmake -S "$source_dir" -B "$scratch/$1" -DAPE_BUILD_HOST=OFF -DAPE_BUILD_TESTS=OFF \
    -DAPE_BUILD_BENCH=OFF "-DAPE_WEB_ADDRESS=$2"
}
header() { cat "$scratch/$1/apefw/generated/ape_web_address.h" 2>/dev/null; }

long=https://example.org/abcdefghijkl  # 32 characters
configure long "$long"
check "32 characters refused" test "$status" -ne 0
check_has "32 characters: the reason" "$(tr -s ' \n' ' ' <<<"$err")" \
  "APE_WEB_ADDRESS \"$long\" has 32 characters; the settings panel's link label shows at most 31"

configure ftp ftp://example.org
check "not http refused" test "$status" -ne 0
check_has "not http: the reason" "$(tr -s ' \n' ' ' <<<"$err")" "is not an http:// or https:// address"

configure quote 'https://a"b.org'
check "a quote refused" test "$status" -ne 0

fits=${long%l}  # 31 characters
configure fits "$fits"
check_ran "31 characters accepted"
check_has "31 characters reach the panel's header" "$(header fits)" \
  "#define APE_WEB_ADDRESS \"$fits\""

configure default https://example.org
check_ran "the default"
check_has "the placeholder" "$(header default)" '#define APE_WEB_ADDRESS "https://example.org"'

finish
