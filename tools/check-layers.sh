#!/usr/bin/env bash
# Fails when a source reaches into a folder above its own layer, by #include "folder/..." or by
# forward-declaring a class whose header lives there. Folders not listed (tests, bench, tools,
# fuzz) may use anything.
set -euo pipefail
cd "$(dirname "$0")/.."

# Folders each folder may use besides itself. Media (audio, KytRTP) is reached only through
# useragent; encrypt stands alone on util and platform.
declare -A may=(
  [util]=""
  [platform]="util"
  [encrypt]="platform util"
  [audio]="platform util"
  [KytRTP]="audio platform util"
  [sip]="platform util"
  [call]="sip platform util"
  [chat]="sip platform util"
  [useragent]="call chat sip KytRTP audio platform util"
  [plugin]="useragent call chat sip platform util"
  [host]="plugin useragent call chat sip platform util"
  [bridge]="host plugin useragent call chat sip platform util"
)
sources=(-- '*.h' '*.hpp' '*.c' '*.cc' '*.cpp')
bad=0
check() {  # file line folder-used what
  local own=${1%%/*}
  [[ -v may[$own] && $3 != "$own" && " ${may[$own]} " != *" $3 "* ]] || return 0
  echo "$1:$2: $own must not use $3 ($4)"
  bad=1
}

while IFS=: read -r file line text; do
  inc=${text#*\"}
  inc=${inc%%\"*}
  check "$file" "$line" "${inc%%/*}" "$inc"
done < <(git grep --untracked -nE '^\s*#\s*include\s*"[^"/]+/' "${sources[@]}")

# Where each class lives: the folder of the header named after it.
declare -A home=()
while read -r header; do
  name=${header##*/}
  home[${name%.h}]=${header%%/*}
done < <(git ls-files --cached --others --exclude-standard '*.h' | grep -vE '^(tests|bench|tools|fuzz)/')

while IFS=: read -r file line text; do
  name=$(sed -E 's/^\s*(class|struct)\s+(\w+).*/\2/' <<<"$text")
  [[ -v home[$name] ]] && check "$file" "$line" "${home[$name]}" "class $name"
done < <(git grep --untracked -nE '^\s*(class|struct)\s+\w+\s*;' "${sources[@]}")

exit $bad
