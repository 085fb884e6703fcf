# Sourced by the board's tool stand-ins: logs the run with its time, as "<seconds> <tool> <args>".
standin_log() {
    echo "$(date +%s.%N) $(basename "$0") $*" >>"$BOARD_ROOT/var/log/tools.log"
}
standin_log "$@"
