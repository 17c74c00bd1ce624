#!/bin/bash
# The bash completion of hvzelta, run as bash runs it: each line typed so
# far and a word the completion must offer. Usage: completion_test.sh SCRIPT PROGRAM
source "$1" || exit 1
program=$2
failures=0
expect() {  # expect WORD TYPED...
  local want=$1
  shift
  COMP_WORDS=("$program" "$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  _hvzelta
  if [[ " ${COMPREPLY[*]} " != *" $want "* ]]; then
    echo "typing 'hvzelta $*' offers '${COMPREPLY[*]}', not '$want'"
    failures=$((failures + 1))
  fi
}
expect attributes at
expect demo -r TCPIP::x::INSTR de
expect VOLTAGE_LEVEL -r X get VOLTAGE_L
expect output_trigger_source set output_trigger_s
expect SW_TRIG_FUNC set OUTPUT_TRIGGER_SOURCE S
expect false set HVZELTA_ATTR_CACHE f
expect add-virtual-name config add-v
expect --no-status-check get VOLTAGE_LEVEL --no
expect --fault sim --fa
expect --version --v
expect measure help mea
exit $((failures > 0))
