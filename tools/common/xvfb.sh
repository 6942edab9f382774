# Sourced by the scripts that run Wine programs which draw. The wineserver
# must start inside the X session that those programs use, so the calling
# script runs itself again inside a new Xvfb session, once:
#
#   source tools/common/xvfb.sh
#   run_in_xvfb WIDTHxHEIGHTxDEPTH "$0" "$@"
run_in_xvfb() {
  local screen=$1
  shift
  if [[ -z ${TAVOK_IN_XVFB:-} ]]; then
    exec env TAVOK_IN_XVFB=1 xvfb-run -a -s "-screen 0 $screen" "$@"
  fi
}
