#!/usr/bin/env python3
"""Judges what other CD programs made of a kernel drive, against what the
test disc's CUE sheet defines (one BIN file, no PREGAP/POSTGAP lines, as
rilvane-make-disc writes them), never against the drive's own code.

  check_peers.py cdinfo   CUE OUTPUT      cd-info lists tracks, MCN, ISRCs, CD-Text
  check_peers.py cdrdao   CUE TOCFILE     the TOC file has pregaps, indexes, ISRCs,
                                          CATALOG and CD_TEXT
  check_peers.py ioctl    CUE DEVICE      the kernel's CD-ROM ioctls: disc status, TOC
                                          entries in both forms, catalogue number,
                                          speed, and play moving the sub-channel position
  check_peers.py audio    CUE DIR PATTERN [hidden]
                                          each track's file (PATTERN with {n}, WAV or
                                          FLAC) holds the track's bytes from the BIN;
                                          with "hidden" also track 0, the hidden one

Exits 0 when all holds, else 1 with one line per fault.
"""
import fcntl
import os
import re
import struct
import time
import subprocess
import sys


def frames(msf):
    m, s, f = (int(x) for x in msf.split(':'))
    return (m * 60 + s) * 75 + f


def msf_text(n):
    return '%02d:%02d:%02d' % (n // 4500, n // 75 % 60, n % 75)


def parse_cue(path):
    disc = {'catalog': None, 'text': {}, 'tracks': [], 'bin': None}
    track = None
    for raw in open(path, encoding='utf-8'):
        words = re.findall(r'"[^"]*"|\S+', raw.strip())
        if not words:
            continue
        key = words[0].upper()
        args = [w.strip('"') for w in words[1:]]
        if key == 'FILE':
            disc['bin'] = os.path.join(os.path.dirname(path), args[0])
        elif key == 'CATALOG':
            disc['catalog'] = args[0]
        elif key == 'TRACK':
            track = {'number': int(args[0]), 'mode': args[1], 'index': {}, 'isrc': None, 'text': {}}
            disc['tracks'].append(track)
        elif key == 'INDEX':
            track['index'][int(args[0])] = frames(args[1])
        elif key == 'ISRC':
            track['isrc'] = args[0]
        elif key in ('TITLE', 'PERFORMER', 'SONGWRITER'):
            (track['text'] if track else disc['text'])[key] = args[0]
        elif key in ('PREGAP', 'POSTGAP'):
            raise SystemExit('check_peers.py: PREGAP/POSTGAP not supported here')
    disc['leadout'] = os.path.getsize(disc['bin']) // 2352
    return disc


def track_end(disc, i):
    tracks = disc['tracks']
    return tracks[i + 1]['index'][1] if i + 1 < len(tracks) else disc['leadout']


def region_end(disc, i):
    """Where the next track's pregap begins (or the lead-out)."""
    tracks = disc['tracks']
    if i + 1 >= len(tracks):
        return disc['leadout']
    index = tracks[i + 1]['index']
    return index.get(0, index[1])


def check_cdinfo(disc, text):
    faults = []
    for t in disc['tracks']:
        start = t['index'][1]
        if not re.search(r'^\s*%d: %s\s+0*%d ' % (t['number'], msf_text(start + 150), start), text, re.M):
            faults.append('track %d at %d (%s) not listed' % (t['number'], start, msf_text(start + 150)))
        if t['isrc'] and t['isrc'] not in text:
            faults.append('ISRC %s of track %d missing' % (t['isrc'], t['number']))
        for key, value in t['text'].items():
            if not re.search(r'%s: %s$' % (key, re.escape(value)), text, re.M):
                faults.append('CD-Text %s "%s" of track %d missing' % (key, value, t['number']))
    if disc['catalog'] and not re.search(r'Media Catalog Number \(MCN\): %s' % disc['catalog'], text):
        faults.append('MCN %s missing' % disc['catalog'])
    for key, value in disc['text'].items():
        if not re.search(r'%s: %s$' % (key, re.escape(value)), text, re.M):
            faults.append('disc CD-Text %s "%s" missing' % (key, value))
    return faults


def check_cdrdao(disc, text):
    faults = []
    if disc['catalog'] and 'CATALOG "%s"' % disc['catalog'] not in text:
        faults.append('CATALOG %s missing' % disc['catalog'])
    # The part of the file before the first track, then each track's part.
    parts = re.split(r'^TRACK ', text, flags=re.M)
    head, sections = parts[0], parts[1:]
    for key, value in disc['text'].items():
        if '%s "%s"' % (key, value) not in head:
            faults.append('disc CD_TEXT %s "%s" missing' % (key, value))
    if len(sections) != len(disc['tracks']):
        return faults + ['%d tracks in the TOC file, %d in the sheet' % (len(sections), len(disc['tracks']))]
    for i, (t, section) in enumerate(zip(disc['tracks'], sections)):
        n = t['number']
        index = t['index']
        pregap = index[1] - index[0] if 0 in index else 0
        start = re.search(r'^START (\S+)', section, re.M)
        if pregap and (not start or frames(start.group(1)) != pregap):
            faults.append('track %d: START %s, the sheet has a pregap of %s' %
                          (n, start.group(1) if start else 'missing', msf_text(pregap)))
        if not pregap and start:
            faults.append('track %d: START %s without a pregap in the sheet' % (n, start.group(1)))
        marks = [frames(m) for m in re.findall(r'^INDEX (\S+)', section, re.M)]
        wanted = [index[k] - index[1] for k in sorted(index) if k >= 2]
        if marks != wanted:
            faults.append('track %d: INDEX %s, the sheet has %s' %
                          (n, [msf_text(m) for m in marks], [msf_text(w) for w in wanted]))
        if t['isrc'] and 'ISRC "%s"' % t['isrc'] not in section:
            faults.append('track %d: ISRC %s missing' % (n, t['isrc']))
        for key, value in t['text'].items():
            if '%s "%s"' % (key, value) not in section:
                faults.append('track %d: CD_TEXT %s "%s" missing' % (n, key, value))
        # The track's length, its pregap included: up to the next track's
        # pregap, as the file list says.
        lengths = re.findall(r'^(?:FILE|DATAFILE|AUDIOFILE) "[^"]*" (?:#\d+ |\d+ )?(?:(\S+) )?(\S+)$', section, re.M)
        total = sum(frames(l[1]) for l in lengths if ':' in l[1])
        silence = sum(frames(s) for s in re.findall(r'^SILENCE (\S+)', section, re.M))
        wanted = region_end(disc, i) - (index[1] - pregap)
        if lengths and total + silence != wanted:
            faults.append('track %d: %d sectors in the TOC file, the sheet has %d' % (n, total + silence, wanted))
    return faults


def sound_of(path):
    if path.endswith('.flac'):
        return subprocess.run(['flac', '-d', '-s', '-c', '--force-raw-format', '--endian=little',
                               '--sign=signed', path], check=True, stdout=subprocess.PIPE).stdout
    data = open(path, 'rb').read()
    at = data.find(b'data', 12)
    return data[at + 8:] if at >= 0 else b''


def check_audio(disc, folder, pattern, hidden=False):
    faults = []
    image = open(disc['bin'], 'rb').read()
    first = disc['tracks'][0]['index']
    if hidden and first.get(0, first[1]) < first[1]:
        # The hidden track before track 1's INDEX 01, as track 0.
        name = os.path.join(folder, pattern.format(n=0))
        if not os.path.exists(name):
            faults.append('hidden track: no file %s' % name)
        elif sound_of(name) != image[first.get(0) * 2352:first[1] * 2352]:
            faults.append('hidden track: not the sheet\'s sectors %d to %d' % (first.get(0), first[1] - 1))
    for i, t in enumerate(disc['tracks']):
        if t['mode'] != 'AUDIO':
            continue
        name = os.path.join(folder, pattern.format(n=t['number']))
        if not os.path.exists(name):
            faults.append('track %d: no file %s' % (t['number'], name))
            continue
        want = image[t['index'][1] * 2352:track_end(disc, i) * 2352]
        got = sound_of(name)
        if got != want:
            first = next((k for k in range(min(len(got), len(want))) if got[k] != want[k]), min(len(got), len(want)))
            faults.append('track %d: %d bytes, %d expected, first difference at byte %d' %
                          (t['number'], len(got), len(want), first))
    return faults


CDROMPLAYMSF = 0x5303
CDROMREADTOCENTRY = 0x5306
CDROMSTOP = 0x5307
CDROMSUBCHNL = 0x530B
CDROM_GET_MCN = 0x5311
CDROM_SELECT_SPEED = 0x5322
CDROM_DISC_STATUS = 0x5327
CDROM_LBA, CDROM_MSF = 0x01, 0x02
CDS_AUDIO = 100
CDROM_AUDIO_PLAY = 0x11


def check_ioctl(disc, device):
    faults = []
    fd = os.open(device, os.O_RDONLY | os.O_NONBLOCK)
    try:
        status = fcntl.ioctl(fd, CDROM_DISC_STATUS, 0)
        if status != CDS_AUDIO:
            faults.append('CDROM_DISC_STATUS %d, not CDS_AUDIO' % status)
        for t in disc['tracks']:
            start = t['index'][1]
            for form in (CDROM_LBA, CDROM_MSF):
                entry = bytearray(struct.pack('BBB5xB3x', t['number'], 0, form, 0))
                try:
                    fcntl.ioctl(fd, CDROMREADTOCENTRY, entry)
                except OSError as e:
                    faults.append('CDROMREADTOCENTRY track %d: %s' % (t['number'], e))
                    continue
                if form == CDROM_LBA:
                    got = struct.unpack_from('i', entry, 4)[0]
                else:
                    got = (entry[4] * 60 + entry[5]) * 75 + entry[6] - 150
                if got != start:
                    faults.append('CDROMREADTOCENTRY track %d (%s): %d, the sheet has %d' %
                                  (t['number'], 'LBA' if form == CDROM_LBA else 'MSF', got, start))
        mcn = bytearray(14)
        fcntl.ioctl(fd, CDROM_GET_MCN, mcn)
        if disc['catalog'] and mcn[:13].decode(errors='replace') != disc['catalog']:
            faults.append('CDROM_GET_MCN %r, the sheet has %s' % (bytes(mcn[:13]), disc['catalog']))
        fcntl.ioctl(fd, CDROM_SELECT_SPEED, 8)
        # Play the second track from its start; the position moves on.
        t = disc['tracks'][1]
        first = t['index'][1] + 150
        last = track_end(disc, 1) + 150 - 1
        fcntl.ioctl(fd, CDROMPLAYMSF, struct.pack('6B', first // 4500, first // 75 % 60, first % 75,
                                                   last // 4500, last // 75 % 60, last % 75))

        def position():
            sub = bytearray(struct.pack('B15x', CDROM_LBA))
            fcntl.ioctl(fd, CDROMSUBCHNL, sub)
            return sub[1], sub[3], struct.unpack_from('i', sub, 8)[0]

        status, track, at = position()
        time.sleep(1.0)
        status2, track2, later = position()
        if status != CDROM_AUDIO_PLAY or track != t['number']:
            faults.append('CDROMSUBCHNL while playing: status 0x%02x, track %d' % (status, track))
        if not first - 150 <= at < later <= last - 150:
            faults.append('CDROMSUBCHNL position %d, a second later %d (play from %d)' % (at, later, first - 150))
        fcntl.ioctl(fd, CDROMSTOP)
        status, _, stopped = position()
        time.sleep(0.3)
        if position()[2] != stopped or status == CDROM_AUDIO_PLAY:
            faults.append('CDROMSTOP: still playing (status 0x%02x)' % status)
    finally:
        os.close(fd)
    return faults


def main(argv):
    if len(argv) < 4:
        print(__doc__)
        return 2
    disc = parse_cue(argv[2])
    if argv[1] == 'cdinfo':
        faults = check_cdinfo(disc, open(argv[3], errors='replace').read())
    elif argv[1] == 'cdrdao':
        faults = check_cdrdao(disc, open(argv[3], errors='replace').read())
    elif argv[1] == 'ioctl':
        faults = check_ioctl(disc, argv[3])
    elif argv[1] == 'audio':
        faults = check_audio(disc, argv[3], argv[4], len(argv) > 5 and argv[5] == 'hidden')
    else:
        print(__doc__)
        return 2
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
