#!/usr/bin/env bash
# The control library exports its four entry points and nothing else.
#   check_exports.sh <libVOKAPIXControl.so>
set -euo pipefail
exported=$(nm -D --defined-only "$1" | awk '{print $3}' | sort)
expected=$(printf '%s\n' DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer)
echo "$exported"
if [[ $exported != "$expected" ]]; then echo "expected exactly:"; echo "$expected"; exit 1; fi
