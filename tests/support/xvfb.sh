#!/usr/bin/env bash
# start|stop NUMBER: a virtual X display with GLX for the tests, shared by one test run.
set -u
cmd=$1 num=$2
pidfile=/tmp/tidecrawler-xvfb-$num.pid
case $cmd in
start)
  if [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; then exit 0; fi
  rm -f "/tmp/.X$num-lock" "/tmp/.X11-unix/X$num"
  Xvfb ":$num" -screen 0 1920x1080x24 +extension GLX +extension XTEST -nolisten tcp -noreset >/tmp/tidecrawler-xvfb-$num.log 2>&1 &
  echo $! >"$pidfile"
  for _ in $(seq 1 100); do
    [ -e "/tmp/.X11-unix/X$num" ] && exit 0
    sleep 0.1
  done
  echo "Xvfb :$num did not start" >&2
  cat /tmp/tidecrawler-xvfb-$num.log >&2
  exit 1
  ;;
stop)
  [ -f "$pidfile" ] && kill "$(cat "$pidfile")" 2>/dev/null
  rm -f "$pidfile"
  exit 0
  ;;
esac
