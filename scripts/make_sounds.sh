#!/usr/bin/env bash
# Makes the sounds that ship in data/: two sound sets (chimes and a voice), the land fee
# sound, the silent file and the mini timer's sounds, and res.lib that names them. The output
# is committed, so building needs neither sox nor espeak-ng; run this again after changing it.
# Needs: sox, libsox-fmt-mp3, espeak-ng.
set -euo pipefail
cd "$(dirname "$0")/../data"

# The same random numbers (dither) on every run, so unchanged sounds keep their bytes.
export SOX_OPTS=-R
rate=22050
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# note NAME FREQ SECONDS: one struck bell-like tone (a sine with two quiet overtones, decaying).
note() {
  local f2 f3
  f2=$(awk "BEGIN{print $2*2.01}")
  f3=$(awk "BEGIN{print $2*3.02}")
  sox -n -r $rate -c 3 "$tmp/$1.3.wav" synth "$3" sine "$2" sine "$f2" sine "$f3"
  sox "$tmp/$1.3.wav" -c 1 "$tmp/$1.wav" remix 1,2v0.25,3v0.1 fade q 0.005 "$3" "$(awk "BEGIN{print $3*0.9}")" gain -n -3
}

# chime OUT NOTE...: the notes one after the other.
chime() {
  local out=$1
  shift
  local parts=()
  for n in "$@"; do parts+=("$tmp/$n.wav"); done
  sox "${parts[@]}" -r $rate -c 1 -b 16 "$out" gain -n -3
}

# Notes of a pentatonic scale and two chords.
note c5 523.25 0.35
note d5 587.33 0.35
note e5 659.25 0.35
note g5 783.99 0.35
note a5 880.00 0.35
note c6 1046.50 0.5
note g4 392.00 0.35
note e4 329.63 0.5
note c5l 523.25 0.8
note c6l 1046.50 1.0
note g5l 783.99 0.8

mkdir -p sound/chime sound/voice
chime sound/chime/sync.wav c5 e5 g5 c6
chime sound/chime/nochange.wav g5 g5l
chime sound/chime/manual.wav e5 g5 e5 c6
chime sound/chime/alarm.wav c6 a5 c6 a5 c6 a5 c6l
chime sound/chime/signal.wav c5 c5 c5 c6l
chime sound/chime/rmbegin.wav g5 e5 d5 c5l
chime sound/chime/rmend.wav c5 d5 e5 g5l
chime sound/chime/embegin.wav a5 e5 a5 e5 c5l
chime sound/chime/emend.wav e5 a5 e5 a5 c6l
chime sound/chime/chaos1.wav g4 c5 e5 g5 c6l
chime sound/chime/chaos2.wav c5 g4 c5 g4 e4
chime sound/chime/chaos3.wav e4 g4 e4 g4 c5l
chime sound/chime/chaos1pre.wav g4 c5l
chime sound/chime/chaos2pre.wav c5 g4
chime sound/chime/chaos3pre.wav e4 g4

# The voice set: espeak-ng's Japanese voice, kept as small MP3 files.
say() {
  espeak-ng -v ja -s 150 -p 60 -w "$tmp/say.wav" "$2"
  sox "$tmp/say.wav" -r $rate -c 1 -C 48 "sound/voice/$1.mp3" gain -n -3
}
say sync "とけいを あわせました"
say nochange "とけいは あっています"
say manual "てどうで あわせました"
say alarm "アラームの じかんです"
say signal "じほうです"
say rmbegin "ていき メンテナンスが はじまりました"
say rmend "ていき メンテナンスが おわりました"
say embegin "りんじ メンテナンスが はじまりました"
say emend "りんじ メンテナンスが おわりました"
say chaos1 "カオスが かいほう されました"
say chaos2 "ほんりゅうが かいほう されました"
say chaos3 "ゲートキーパーが あらわれました"
say chaos1pre "まもなく カオスが かいほう されます"
say chaos2pre "まもなく ほんりゅうが かいほう されます"
say chaos3pre "まもなく ゲートキーパーが あらわれます"

# The land fee sound, shared by every set: a few coins.
sox -n -r $rate -c 1 "$tmp/coin.wav" synth 0.12 square 1975 synth 0.12 sine amod 30 fade q 0.002 0.12 0.08 gain -n -6
sox "$tmp/coin.wav" "$tmp/coin.wav" "$tmp/coin.wav" -b 16 sound/pay.wav gain -n -3

# Silence, for users who want an event to make no sound at all.
sox -D -n -r $rate -c 1 -b 16 "無音.wav" trim 0 0.5

# The mini timer: a click (mode), a blip (start, reset; MP3 inside), a ring.
sox -n -r $rate -c 1 -b 16 -t wav tms1.kws synth 0.04 square 1200 fade q 0.002 0.04 0.02 gain -n -6
sox -n -r $rate -c 1 -C 48 -t mp3 tms2.kws synth 0.12 sine 880 fade q 0.005 0.12 0.06 gain -n -4
sox -n -r $rate -c 1 -b 16 "$tmp/ring.wav" synth 0.1 sine 1318.5 synth 0.1 sine amod 16 fade q 0.005 0.1 0.02 gain -n -3
sox "$tmp/ring.wav" "$tmp/ring.wav" "$tmp/ring.wav" "$tmp/ring.wav" -t wav tms3.kws

# res.lib, in CP932 with CRLF line ends like every text file of the program.
events=(Sync SyncNoChange ManualSync Alarm Signal RMBegin RMEnd EMBegin EMEnd Chaos1 Chaos2 Chaos3 Chaos1Pre Chaos2Pre Chaos3Pre)
files=(sync nochange manual alarm signal rmbegin rmend embegin emend chaos1 chaos2 chaos3 chaos1pre chaos2pre chaos3pre)
{
  printf '[soundset]\nCount=2\nwPay=sound/pay.wav\n\n'
  printf '[soundset1]\nname=チャイム\n'
  for i in "${!events[@]}"; do printf 'w%s=sound/chime/%s.wav\n' "${events[$i]}" "${files[$i]}"; done
  printf '\n[soundset2]\nname=ボイス\n'
  for i in "${!events[@]}"; do printf 'w%s=sound/voice/%s.mp3\n' "${events[$i]}" "${files[$i]}"; done
} | sed 's/$/\r/' | iconv -f UTF-8 -t CP932 > res.lib
