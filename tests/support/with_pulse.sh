#!/usr/bin/env bash
# Runs a command next to a private PulseAudio server whose default sink is a null
# sink ("vsink"); what is played can be recorded from "vsink.monitor".
set -u
runtime=$(mktemp -d /tmp/zua-pulse.XXXXXX)
chmod 700 "$runtime"
export XDG_RUNTIME_DIR="$runtime"
export PULSE_RUNTIME_PATH="$runtime/pulse"
unset PULSE_SERVER
pulseaudio -n -D --exit-idle-time=-1 --disallow-exit --use-pid-file=yes --realtime=no --high-priority=no \
  -L module-native-protocol-unix \
  -L "module-null-sink sink_name=vsink sink_properties=device.description=VirtualSink" \
  >"$runtime/pulse.log" 2>&1
for _ in $(seq 50); do
  pactl info >/dev/null 2>&1 && break
  sleep 0.1
done
pactl set-default-sink vsink >/dev/null 2>&1
pactl set-default-source vsink.monitor >/dev/null 2>&1
"$@"
rc=$?
pulseaudio --kill >/dev/null 2>&1
rm -rf "$runtime"
exit $rc
