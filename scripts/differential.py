#!/usr/bin/env python3
"""Randomized differential test of salvex against the truth and The Sleuth Kit.

For each seed: build a random valid volume with the real tools (FAT12, FAT16 or
FAT32 by mkfs.fat and mtools, with one FAT or two, whole disk or behind an MBR;
exFAT by mkfs.exfat and exfat-fuse on a loop device), write and delete files in
turns so that files fragment and freed clusters are taken again, and record as
it goes every file's bytes, its clusters, and whether a cluster of a deleted
file was allocated again after its deletion. Then run `salvex scan --json`,
`salvex recover --all`, `fls -r -p -l` and `tsk_recover -e` on the image and
classify every file.

  differential.py 17                      # one seed, every finding
  differential.py 17 --keep /tmp/s17      # keep the image, the truth and the outputs
  differential.py --range 0 100 --json fat.jsonl
  differential.py --range 0 50 --fs exfat --json exfat.jsonl
  differential.py --summary fat.jsonl exfat.jsonl

Without --fs a seed's file system and number of FATs follow from the seed
alone (seed % 3: FAT12, FAT16, FAT32; (seed // 3) % 2: one FAT, two), so that
any six consecutive seeds cover every FAT kind; exFAT needs --fs exfat (root,
/dev/fuse and a free loop device: skipped otherwise).

Exit status: 1 when a live file is not listed or not recovered byte for byte,
or a deleted file is recovered wrong without a mark where a reader could tell
(bench/README.md says how each file is judged); 3 when the tools could not
build some seed's volume (such seeds are not counted); 77 when every seed was
skipped (tools missing, exFAT without fuse); 2 on a usage error; 0 otherwise.
SALVEX names the program (default build/src/cli/salvex under the project).
"""
import argparse
import array
import hashlib
import json
import os
import random
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

SECTOR = 512
PROJECT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SKIP_EXIT = 77
# The marks by which salvex tells that a file's bytes may not be its own.
MARK_KEYS = ('overwritten', 'fragmentInferred', 'clusterInferred', 'conflictsWith', 'chainAssumed',
             'unreadSectors', 'recoverable')
FAT_TOOLS = ('mkfs.fat', 'sfdisk', 'mcopy', 'mmd', 'mdel', 'mdeltree', 'mshowfat', 'fls', 'tsk_recover', 'icat')
EXFAT_TOOLS = ('mkfs.exfat', 'mount.exfat-fuse', 'losetup', 'blockdev', 'umount', 'sfdisk', 'fls', 'tsk_recover',
               'icat')
# 1 Jan 2000 .. 1 Jan 2030: file times well inside what FAT and exFAT store.
EPOCH_FIRST, EPOCH_LAST = 946684800, 1893456000


class HarnessError(Exception):
    """The tools or this script's own record went wrong: the seed says nothing about salvex."""


class Skipped(Exception):
    """This machine cannot build the volume (a tool, root, /dev/fuse or a loop device is missing)."""


def tool_env(**extra):
    env = dict(os.environ, LC_ALL='C.UTF-8', LANG='C.UTF-8', TZ='UTC', MTOOLS_SKIP_CHECK='1')
    env.update({k: str(v) for k, v in extra.items()})
    return env


def run(cmd, env=None, timeout=300, stdin=subprocess.DEVNULL, check=True, **kw):
    try:
        r = subprocess.run(cmd, env=env or tool_env(), stdin=stdin, capture_output=True, timeout=timeout, **kw)
    except subprocess.TimeoutExpired:
        raise HarnessError('%s timed out after %d s' % (cmd[0], timeout))
    if check and r.returncode != 0:
        raise HarnessError('%s exited %d: %s' % (' '.join(cmd[:3]), r.returncode,
                                                 r.stderr.decode(errors='replace').strip()[-300:]))
    return r


def content(seed, fid, size):
    """The bytes of file `fid` of a seed: random, so that no two blocks of a volume are alike."""
    return random.Random((seed << 24) + fid).randbytes(size)


def runs_text(clusters):
    """[5, 6, 7, 9, 'Z', 'Z', '?'] -> '5-7,9,Zx2,?' ('Z' a block of zeros, '?' found nowhere,
    '~' a tail too short to tell)."""
    out, i = [], 0
    while i < len(clusters):
        j = i
        if isinstance(clusters[i], int):
            while j + 1 < len(clusters) and isinstance(clusters[j + 1], int) and clusters[j + 1] == clusters[j] + 1:
                j += 1
            out.append(str(clusters[i]) if i == j else '%d-%d' % (clusters[i], clusters[j]))
        else:
            while j + 1 < len(clusters) and clusters[j + 1] == clusters[i]:
                j += 1
            out.append(clusters[i] + ('x%d' % (j - i + 1) if j > i else ''))
        i = j + 1
    return ','.join(out) or '-'


# ---------------------------------------------------------------------------------------------
# Reading the volumes the tools made (they are intact: these readers are for the record only)
# ---------------------------------------------------------------------------------------------

class Entry:
    """A live directory entry: its name, first cluster, size and where its slots lie."""

    def __init__(self, **kw):
        self.__dict__.update(kw)


class Image:
    """An image file read at absolute offsets; what lies past its end reads as zeros."""

    def __init__(self, image, base_sector):
        self.image, self.base = image, base_sector * SECTOR
        self.fd = os.open(image, os.O_RDONLY)

    def __del__(self):
        if getattr(self, 'fd', None) is not None:
            os.close(self.fd)

    def read(self, offset, n):
        data = os.pread(self.fd, n, offset)
        return data + bytes(n - len(data))

    def read_clusters(self, clusters, size):
        return b''.join(self.read(self.cluster_offset(c), self.cluster_size) for c in clusters)[:size]

    def slots_of(self, clusters):
        """(offset, 32 bytes) of every directory slot in these clusters."""
        out = []
        for c in clusters:
            start = self.cluster_offset(c)
            data = self.read(start, self.cluster_size)
            out += [(start + i, data[i:i + 32]) for i in range(0, len(data), 32)]
        return out


class FatVolume(Image):
    def __init__(self, image, base_sector):
        super().__init__(image, base_sector)
        boot = self.read(self.base, SECTOR)
        if struct.unpack_from('<H', boot, 11)[0] != SECTOR:
            raise HarnessError('boot sector: not 512 bytes per sector')
        self.spc = boot[13]
        self.reserved, self.nfats, self.root_entries, total16 = struct.unpack_from('<HBHH', boot, 14)
        fat_sectors16, = struct.unpack_from('<H', boot, 22)
        total32, = struct.unpack_from('<I', boot, 32)
        self.total = total16 or total32
        self.fat_sectors = fat_sectors16 or struct.unpack_from('<I', boot, 36)[0]
        self.root_cluster = struct.unpack_from('<I', boot, 44)[0] if fat_sectors16 == 0 else 0
        self.fsinfo_sector = struct.unpack_from('<H', boot, 48)[0] if fat_sectors16 == 0 else 0
        # where The Sleuth Kit counts its inode numbers from: the fixed root, or the data
        self.first_data_sector = self.reserved + self.nfats * self.fat_sectors
        self.root_sectors = (self.root_entries * 32 + SECTOR - 1) // SECTOR
        self.data_start = self.first_data_sector + self.root_sectors
        self.clusters = (self.total - self.data_start) // self.spc
        self.bits = 12 if self.clusters < 4085 else 16 if self.clusters < 65525 else 32
        if (fat_sectors16 == 0) != (self.bits == 32):
            raise HarnessError('FAT32 layout with %d clusters' % self.clusters)
        self.cluster_size = self.spc * SECTOR
        self.fat = self._read_fat()

    def _read_fat(self):
        n = self.clusters + 2
        raw = self.read(self.base + self.reserved * SECTOR, self.fat_sectors * SECTOR) + b'\0\0'
        if self.bits == 12:
            out = array.array('H', bytes(2 * n))
            for c in range(n):
                o = c + (c >> 1)
                v = raw[o] | raw[o + 1] << 8
                out[c] = v >> 4 if c & 1 else v & 0xFFF
            return out
        out = array.array('H' if self.bits == 16 else 'I')
        out.frombytes(raw[:n * out.itemsize])
        if self.bits == 32 and out and max(out) > 0x0FFFFFFF:
            out = array.array('I', (v & 0x0FFFFFFF for v in out))
        return out

    def free_count(self):
        return self.fat[2:].count(0)

    def allocated(self, c):
        return self.fat[c] != 0

    def end_of_chain(self, v):
        return v >= {12: 0xFF7, 16: 0xFFF7, 32: 0x0FFFFFF7}[self.bits]

    def chain(self, first, limit=None):
        out, seen, c = [], set(), first
        while 2 <= c < self.clusters + 2 and c not in seen and (limit is None or len(out) < limit):
            out.append(c)
            seen.add(c)
            c = self.fat[c]
            if self.end_of_chain(c) or c == 0:
                break
        return out

    def cluster_offset(self, c):
        return self.base + (self.data_start + (c - 2) * self.spc) * SECTOR

    def folder_slots(self, first_cluster):
        """(offset, 32 bytes) of every slot of a folder: the fixed root when first_cluster is 0."""
        if first_cluster == 0:
            start = self.base + self.first_data_sector * SECTOR
            data = self.read(start, self.root_sectors * SECTOR)
            return [(start + i, data[i:i + 32]) for i in range(0, len(data), 32)]
        return self.slots_of(self.chain(first_cluster))

    @staticmethod
    def short_name(e):
        base, ext = e[0:8].rstrip(b' '), e[8:11].rstrip(b' ')
        if base[:1] == b'\x05':
            base = b'\xe5' + base[1:]
        base, ext = base.decode('cp850'), ext.decode('cp850')
        # the case bits Windows NT and mtools keep for a lower-case 8.3 name without a long name
        base = base.lower() if e[12] & 0x08 else base
        ext = ext.lower() if e[12] & 0x10 else ext
        return base + ('.' + ext if ext else '')

    @staticmethod
    def lfn_checksum(name11):
        s = 0
        for b in name11:
            s = ((s & 1) << 7) + (s >> 1) + b & 0xFF
        return s

    def entries(self, first_cluster):
        """The live entries of a folder (not '.', '..' nor the label)."""
        out, lfn = [], []
        for off, e in self.folder_slots(first_cluster):
            if e[0] == 0:
                break
            if e[0] == 0xE5:
                lfn = []
                continue
            if e[11] & 0x3F == 0x0F:
                lfn = [(off, e)] if e[0] & 0x40 else lfn + [(off, e)] if lfn else []
                continue
            if e[11] & 0x08 or e[0:11] in (b'.          ', b'..         '):
                lfn = []
                continue
            short = self.short_name(e)
            name, has_lfn = short, False
            if lfn and [s[0] & 0x3F for _, s in lfn] == list(range(len(lfn), 0, -1)) and \
                    all(s[13] == self.lfn_checksum(e[0:11]) for _, s in lfn):
                raw = b''.join(s[1:11] + s[14:26] + s[28:32] for _, s in reversed(lfn))
                name, has_lfn = raw.decode('utf-16-le', 'replace').split('\0')[0], True
            high = struct.unpack_from('<H', e, 20)[0] if self.bits == 32 else 0
            out.append(Entry(name=name, short=short, has_lfn=has_lfn, is_dir=bool(e[11] & 0x10),
                             first_cluster=high << 16 | struct.unpack_from('<H', e, 26)[0],
                             size=struct.unpack_from('<I', e, 28)[0], offset=off,
                             slots=[o for o, _ in lfn] + [off] if has_lfn else [off]))
            lfn = []
        return out


def newly_allocated(before, after, step=4096):
    """Clusters free in one FAT (or bitmap as a list of 0/1) and taken in the other; only the
    stretches that differ are looked at, one by one."""
    out = set()
    for start in range(0, len(before), step):
        old, new = before[start:start + step], after[start:start + step]
        if old != new:
            out.update(start + i for i, (a, b) in enumerate(zip(old, new)) if a == 0 and b != 0 and start + i >= 2)
    return out


class ExfatVolume(Image):
    def __init__(self, image, base_sector):
        super().__init__(image, base_sector)
        boot = self.read(self.base, SECTOR)
        if boot[3:11] != b'EXFAT   ' or boot[0x6C] != 9:
            raise HarnessError('not an exFAT boot sector with 512-byte sectors')
        fat_offset, _, self.heap, self.clusters, self.root = struct.unpack_from('<IIIII', boot, 0x50)
        self.spc = 1 << boot[0x6D]
        self.cluster_size = self.spc * SECTOR
        # where The Sleuth Kit counts its inode numbers from
        self.first_data_sector = self.heap
        self.fat = array.array('I')
        self.fat.frombytes(self.read(self.base + fat_offset * SECTOR, (self.clusters + 2) * 4))
        self.bitmap = b''
        for _, e in self.slots_of(self.chain(self.root)):
            if e[0] == 0x81:
                first, length = struct.unpack_from('<IQ', e, 20)
                self.bitmap = self.read_clusters(self.chain(first), length)
        if len(self.bitmap) * 8 < self.clusters:
            raise HarnessError('exFAT allocation bitmap not found')

    def allocated(self, c):
        i = c - 2
        return bool(self.bitmap[i >> 3] >> (i & 7) & 1)

    def chain(self, first, limit=None):
        out, seen, c = [], set(), first
        while 2 <= c < self.clusters + 2 and c not in seen and (limit is None or len(out) < limit):
            out.append(c)
            seen.add(c)
            c = self.fat[c]
        return out

    def clusters_of(self, first, contiguous, length):
        n = -(-length // self.cluster_size)
        if n == 0 or first < 2:
            return []
        return list(range(first, first + n)) if contiguous else self.chain(first, n)

    def cluster_offset(self, c):
        return self.base + (self.heap + (c - 2) * self.spc) * SECTOR

    def entries(self, folder_clusters):
        """The live entry sets of a folder whose clusters are given."""
        slots = self.slots_of(folder_clusters)
        out, i = [], 0
        while i < len(slots) and slots[i][1][0] != 0:
            off, e = slots[i]
            if e[0] != 0x85:
                i += 1
                continue
            group = slots[i:i + 1 + e[1]]
            i += 1 + e[1]
            if len(group) < 3 or group[1][1][0] != 0xC0:
                raise HarnessError('exFAT entry set at %d without its stream entry' % off)
            stream = group[1][1]
            name = b''.join(s[2:32] for _, s in group[2:] if s[0] == 0xC1).decode('utf-16-le')[:stream[3]]
            first, length = struct.unpack_from('<IQ', stream, 20)
            contiguous = bool(stream[1] & 2)
            out.append(Entry(name=name, short=name, has_lfn=True, is_dir=bool(e[4] & 0x10), first_cluster=first,
                             size=length, offset=off, slots=[o for o, _ in group], contiguous=contiguous,
                             clusters=self.clusters_of(first, contiguous, length)))
        return out


# ---------------------------------------------------------------------------------------------
# Names and sizes
# ---------------------------------------------------------------------------------------------

WORDS = ['report', 'data', 'photo', 'notes', 'draft', 'budget', 'final', 'copy', 'backup', 'letter',
         'invoice', 'scan', 'music', 'video', 'project', 'summary', 'plan', 'archive', 'minutes', 'table']
EXTENSIONS = ['txt', 'doc', 'jpg', 'pdf', 'bin', 'dat', 'xls', 'png', 'mp3', 'zip', 'c', 'md', 'jpeg', 'html']
NON_ASCII = ['café', 'naïve', 'Straße', 'Привет', 'Отчёт', 'файл', '日本語', '文件', '写真', '한국어',
             'Ωμέγα', 'Ärger', 'øre', 'Ñandú']
SHORT_CHARS = 'ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_'
PUNCTUATION = "+,;=()!#$%&'@^`{}-"


def random_name(rng):
    kind = rng.choices(['upper83', 'lower83', 'mixed', 'long', 'spaces', 'dots', 'non-ascii', 'punctuation'],
                       [14, 12, 10, 18, 10, 8, 18, 6])[0]
    if kind in ('upper83', 'lower83'):
        base = rng.choice(SHORT_CHARS[:26]) + ''.join(rng.choice(SHORT_CHARS) for _ in range(rng.randint(0, 7)))
        ext = ''.join(rng.choice(SHORT_CHARS) for _ in range(rng.randint(0, 3)))
        name = base + ('.' + ext if ext else '')
        return name.lower() if kind == 'lower83' else name
    if kind == 'mixed':
        return rng.choice(WORDS).capitalize() + rng.choice(['', str(rng.randint(0, 99))]) + '.' + \
            rng.choice(EXTENSIONS).capitalize()
    if kind == 'long':
        target = rng.choice([9, 12, 13, 14, 26, 27, 40, 64, 100, 150, 190])
        parts = []
        while len(' '.join(parts)) < target:
            parts.append(rng.choice(WORDS) + str(rng.randint(0, 999)))
        ext = rng.choice(EXTENSIONS + [''])
        name = rng.choice([' ', '-', '_', '.', '']).join(parts)[:target].rstrip(' .')
        return name + ('.' + ext if ext else '')
    if kind == 'spaces':
        return '%s %s%s%d.%s' % (rng.choice(WORDS), rng.choice(WORDS), rng.choice([' ', '  ', ' - ']),
                                 rng.randint(0, 99), rng.choice(EXTENSIONS))
    if kind == 'dots':
        return '.'.join(rng.choice(WORDS) for _ in range(rng.randint(2, 5))) + rng.choice(['', '.gz', '.tar.gz'])
    if kind == 'non-ascii':
        name = rng.choice(NON_ASCII) + rng.choice([' ', '_', '-']) + rng.choice(WORDS + NON_ASCII)
        if rng.random() < 0.3:
            name = name.upper() if rng.random() < 0.5 else name.lower()
        # a space keeps a long name even where the text would fit 8.3 in the OEM code page
        return name + (' ' + rng.choice(WORDS) if ' ' not in name else '') + '.' + rng.choice(EXTENSIONS)
    return rng.choice(WORDS) + rng.choice(PUNCTUATION) + str(rng.randint(0, 99)) + rng.choice(PUNCTUATION) + \
        '.' + rng.choice(EXTENSIONS)


def valid_name(name):
    # At most 200 UTF-8 bytes: recovery writes the name into a Linux folder (255 bytes at most),
    # and "Copy (n ) of " may go in front of it.
    return (name and name[0] not in ' .' and name[-1] not in ' .' and '~' not in name
            and not any(c in name for c in '\\/:*?"<>|[]') and len(name.encode()) <= 200)


def random_size(rng, cluster_size):
    r = rng.random()
    if r < 0.05:
        return 0
    if r < 0.30:
        return rng.randint(1, cluster_size)
    if r < 0.45:
        return rng.randint(1, 6) * cluster_size + rng.choice([-1, 0, 0, 1])
    if r < 0.80:
        return rng.randint(cluster_size + 1, 8 * cluster_size)
    if r < 0.95:
        return rng.randint(8 * cluster_size, 64 * cluster_size)
    return rng.randint(64 * cluster_size, 256 * cluster_size)


# ---------------------------------------------------------------------------------------------
# The record: every file and folder ever made, live or deleted
# ---------------------------------------------------------------------------------------------

class Node:
    """A file or folder as it was written. Deleted ones keep the slots their deletion left, to
    tell at the end whether their entries still stand; `reused_op` is the first operation
    after the deletion that allocated one of their clusters again."""

    def __init__(self, kind, ident, name, parent, op):
        self.kind, self.id, self.name, self.parent, self.written_op = kind, ident, name, parent, op
        self.size = 0
        self.clusters = []
        self.first_cluster = 0
        self.entry_offset = None
        self.slots = []
        self.has_lfn = True
        self.short = name
        self.deleted_op = None
        self.deleted_slots = []
        self.deleted_length = 0
        self.reused_op = None


class Record:
    """What a builder hands over: the volume and every node, and the operations done."""

    def __init__(self, seed, params):
        self.seed, self.params = seed, params
        self.nodes = []
        self.ops = []
        self.op = 0

    def path(self, node):
        parts = []
        while node is not None:
            parts.append(node.name)
            node = node.parent
        return '/'.join(reversed(parts))

    def live_children(self, folder):
        return [n for n in self.nodes if n.parent is folder and n.deleted_op is None]

    def subtree(self, folder):
        """A live folder and everything live below it."""
        out, stack = [folder], [folder]
        while stack:
            f = stack.pop()
            for n in self.live_children(f):
                out.append(n)
                if n.kind == 'folder':
                    stack.append(n)
        return out

    def folders(self):
        """The root (None) and every live folder."""
        return [None] + [n for n in self.nodes if n.kind == 'folder' and n.deleted_op is None]

    def depth(self, folder):
        return 0 if folder is None else 1 + self.depth(folder.parent)

    def new_name(self, rng, folder):
        taken = {n.name.casefold() for n in self.live_children(folder)} | \
                {n.name.upper() for n in self.live_children(folder)}
        depth = len(self.path(folder).encode()) if folder else 0
        for _ in range(40):
            name = random_name(rng)
            if valid_name(name) and name.casefold() not in taken and name.upper() not in taken and \
                    depth + len(name.encode()) < 600:
                return name
        return None

    def note_allocation(self, taken):
        """Clusters the last operation took that were free before it: a deleted node holding one
        of them is overwritten, whatever happens to that cluster later."""
        if not taken:
            return
        for n in self.nodes:
            if n.deleted_op is not None and n.reused_op is None and not taken.isdisjoint(n.clusters):
                n.reused_op = self.op


# ---------------------------------------------------------------------------------------------
# FAT12/16/32 by mkfs.fat and mtools
# ---------------------------------------------------------------------------------------------

class FatBuilder:
    def __init__(self, seed, fs, nfats, work):
        self.seed, self.work = seed, work
        self.rng = rng = random.Random(seed)
        self.image = os.path.join(work, 'disk.img')
        self.source = os.path.join(work, 'source.bin')
        p = {'fs': fs, 'nfats': nfats}
        if fs == 'fat12':
            p['spc'] = rng.choice([1, 2, 4, 8, 16])
            clusters = rng.randint(300, 4000)
            p['reserved'] = rng.choice([1, 1, 2, 4])
            p['root_entries'] = rng.choice([64, 112, 224, 512])
        elif fs == 'fat16':
            p['spc'] = rng.choice([1, 1, 2, 4, 8])
            clusters = rng.randint(4300, min(24000, 131072 // p['spc']))
            p['reserved'] = rng.choice([1, 1, 2, 4])
            p['root_entries'] = rng.choice([64, 112, 224, 512, 512])
        else:
            p['spc'] = rng.choices([1, 2, 4], [70, 20, 10])[0]
            clusters = rng.randint(65700, 68000)
            p['reserved'] = rng.choice([8, 32, 32])
            p['root_entries'] = 0
        fat_bytes = {'fat12': 1.5, 'fat16': 2, 'fat32': 4}[fs] * (clusters + 2)
        overhead = p['reserved'] + nfats * (int(fat_bytes) // SECTOR + 1) + p['root_entries'] * 32 // SECTOR + 64
        p['sectors'] = (clusters * p['spc'] + overhead + 1) & ~1
        p['align'] = rng.random() < 0.7
        p['label'] = rng.choice([None, None, 'SALVEX TEST', 'DISK%d' % (seed % 100)])
        p['layout'] = rng.choice(['whole', 'mbr'])
        p['offset'] = 0 if p['layout'] == 'whole' else rng.choice([63, 2048, 2048, rng.randint(1, 4096)])
        p['epoch'] = rng.randint(EPOCH_FIRST, EPOCH_LAST - 10 ** 7)
        p['operations'] = rng.randint(30, 160)
        p['max_depth'] = rng.randint(0, 3)
        self.params = p
        self.record = Record(seed, p)

    # -- the volume ------------------------------------------------------------------------------
    def volume(self):
        return FatVolume(self.image, self.params['offset'])

    def mkfs(self):
        p = self.params
        with open(self.image, 'wb') as f:
            f.truncate((p['offset'] + p['sectors']) * SECTOR)
        if p['layout'] == 'mbr':
            kind = {'fat12': '1', 'fat16': '6' if p['sectors'] >= 65536 else '4', 'fat32': 'c'}[p['fs']]
            table = 'label: dos\nlabel-id: 0x%08x\nstart=%d, size=%d, type=%s\n' % (
                ((self.seed + 1) * 2654435761) & 0xFFFFFFFF, p['offset'], p['sectors'], kind)
            run(['sfdisk', '--no-reread', '--no-tell-kernel', '-q', self.image], input=table.encode(), stdin=None)
            self.record.ops.append('sfdisk: ' + table.replace('\n', '; '))
        cmd = ['mkfs.fat', '-F', p['fs'][3:], '-s', str(p['spc']), '-S', str(SECTOR), '-f', str(p['nfats']),
               '-R', str(p['reserved']), '--invariant', '-i', '%08x' % ((self.seed * 40503 + 1) & 0xFFFFFFFF)]
        cmd += ['-r', str(p['root_entries'])] if p['root_entries'] else []
        cmd += [] if p['align'] else ['-a']
        cmd += ['-n', p['label']] if p['label'] else []
        cmd += ['--offset=%d' % p['offset'], '-h', str(p['offset'])] if p['offset'] else []
        cmd += [self.image, str(p['sectors'] // 2)]
        run(cmd)
        self.record.ops.append(' '.join(cmd))
        v = self.volume()
        if v.bits != int(p['fs'][3:]) or v.nfats != p['nfats']:
            raise HarnessError('mkfs.fat made FAT%d with %d FAT(s) of %d clusters, not %s with %d' % (
                v.bits, v.nfats, v.clusters, p['fs'], p['nfats']))
        p['clusters'], p['cluster_size'] = v.clusters, v.cluster_size
        return v

    # -- mtools ----------------------------------------------------------------------------------
    def mtool(self, *args):
        """Runs an mtools command; a refusal (a full folder or volume) returns False."""
        target = self.image + ('@@%d' % (self.params['offset'] * SECTOR) if self.params['offset'] else '')
        # "now" for the stamps mtools writes: the seed's own clock, so a seed makes the same image
        now = self.params['epoch'] + 61 * self.record.op
        r = run([args[0], '-i', target] + list(args[1:]), env=tool_env(SOURCE_DATE_EPOCH=now), check=False)
        self.record.ops.append('%d: %s' % (self.record.op, ' '.join(repr(a) if ' ' in a else a for a in args)))
        if r.returncode != 0:
            self.record.ops[-1] += '   # refused: ' + r.stderr.decode(errors='replace').strip()[-120:]
        return r.returncode == 0

    def mpath(self, folder, name=None):
        path = self.record.path(folder) if folder else ''
        if name is not None:
            path = path + '/' + name if path else name
        return '::/' + path

    def folder_cluster(self, v, folder):
        return folder.first_cluster if folder else v.root_cluster

    def find_entry(self, v, folder, name):
        for e in v.entries(self.folder_cluster(v, folder)):
            if e.name == name:
                return e
        return None

    def showfat(self, folder, name):
        """The clusters mshowfat gives for a file, in order."""
        target = self.image + ('@@%d' % (self.params['offset'] * SECTOR) if self.params['offset'] else '')
        out = run(['mshowfat', '-i', target, self.mpath(folder, name)]).stdout.decode().strip()
        clusters = []
        # names never hold '<' or '>': every <N> or <N-M> is a run of clusters
        for lo, hi in re.findall(r'<(\d+)(?:-(\d+))?>', out):
            clusters += range(int(lo), int(hi or lo) + 1)
        return clusters

    # -- operations ------------------------------------------------------------------------------
    def op_write(self, v):
        rng, rec = self.rng, self.record
        folder = rng.choice(self.record.folders())
        name = rec.new_name(rng, folder)
        size = random_size(rng, v.cluster_size)
        free = v.free_count()
        # leave room for folders to grow: a refusal for want of clusters would prove nothing
        while size and -(-size // v.cluster_size) > free - 8:
            size //= 4
        if name is None or -(-size // v.cluster_size) > free - 8:
            return
        node = Node('file', len(rec.nodes) + 1, name, folder, rec.op)
        node.size = size
        data = content(self.seed, node.id, size)
        with open(self.source, 'wb') as f:
            f.write(data)
        mtime = self.params['epoch'] - rng.randint(0, 10 ** 7)
        os.utime(self.source, (mtime, mtime))
        if not self.mtool('mcopy', '-m', self.source, self.mpath(folder, name)):
            return self.check_refused(v, folder, name)
        after = self.volume()
        e = self.find_entry(after, folder, name)
        if e is None or e.is_dir or e.size != size:
            raise HarnessError('%s: mcopy stored no file of %d bytes named %r' % (self.mpath(folder, name), size, name))
        node.first_cluster, node.entry_offset, node.slots, node.has_lfn, node.short = \
            e.first_cluster, e.offset, e.slots, e.has_lfn, e.short
        node.clusters = self.showfat(folder, name)
        in_fat = after.chain(e.first_cluster, -(-size // v.cluster_size)) if size else []
        if node.clusters != in_fat:
            raise HarnessError('%s: mshowfat gives %s, the FAT %s' % (
                name, runs_text(node.clusters), runs_text(after.chain(e.first_cluster))))
        if after.read_clusters(node.clusters, size) != data:
            raise HarnessError('%s: its clusters do not hold what was written' % name)
        rec.nodes.append(node)
        return after

    def op_mkdir(self, v):
        rng, rec = self.rng, self.record
        roomy = [f for f in self.record.folders() if self.record.depth(f) < self.params['max_depth']]
        folder = rng.choice(roomy or [None])
        if self.record.depth(folder) >= self.params['max_depth'] or v.free_count() < 16:
            return
        name = rec.new_name(rng, folder)
        if name is None:
            return
        if not self.mtool('mmd', self.mpath(folder, name)):
            return self.check_refused(v, folder, name)
        after = self.volume()
        e = self.find_entry(after, folder, name)
        if e is None or not e.is_dir:
            raise HarnessError('mmd made no folder named %r' % name)
        node = Node('folder', len(rec.nodes) + 1, name, folder, rec.op)
        node.first_cluster, node.entry_offset, node.slots, node.has_lfn, node.short = \
            e.first_cluster, e.offset, e.slots, e.has_lfn, e.short
        rec.nodes.append(node)
        return after

    def check_refused(self, v, folder, name):
        """mtools refused (a full fixed root, say): nothing may have changed."""
        after = self.volume()
        if after.fat != v.fat or self.find_entry(after, folder, name) is not None:
            raise HarnessError('a refused %s left something behind' % self.record.ops[-1])
        return after

    def delete(self, nodes, tool, target):
        before = self.volume()
        for n in nodes:
            if n.kind == 'folder':
                n.clusters = before.chain(n.first_cluster)
        if not self.mtool(tool, target):
            raise HarnessError('%s failed' % self.record.ops[-1])
        after = self.volume()
        for n in nodes:
            slots = [after.read(off, 32) for off in n.slots]
            first_low = struct.unpack_from('<H', slots[-1], 26)[0]
            if any(s[0] != 0xE5 for s in slots) or first_low != n.first_cluster & 0xFFFF:
                raise HarnessError('%s left the entry of %s in use or without its cluster' % (
                    tool, self.record.path(n)))
            if any(after.allocated(c) for c in n.clusters):
                raise HarnessError('%s left clusters of %s allocated' % (tool, self.record.path(n)))
            n.deleted_op, n.deleted_slots = self.record.op, [s.hex() for s in slots]
        return after

    def op_delete_file(self, v):
        files = [n for n in self.record.nodes if n.kind == 'file' and n.deleted_op is None]
        if files:
            n = self.rng.choice(files)
            return self.delete([n], 'mdel', self.mpath(n.parent, n.name))

    def op_delete_tree(self, v):
        folders = [n for n in self.record.nodes if n.kind == 'folder' and n.deleted_op is None]
        if folders:
            n = self.rng.choice(folders)
            return self.delete(self.record.subtree(n), 'mdeltree', self.mpath(n.parent, n.name))

    def op_reset_hint(self, v):
        """FAT32: the FSInfo sector's next-free hint back to the start (or unknown), so that the
        next writes take the holes deletions left, as Windows does, instead of going on after
        the last cluster written; or just below cluster 65,536, so that files get first
        clusters with a high word."""
        if v.bits != 32:
            return
        hint = self.rng.choice([0xFFFFFFFF, 2, 2, self.rng.randint(65450, min(v.clusters, 65600))])
        with open(self.image, 'r+b') as f:
            f.seek(v.base + v.fsinfo_sector * SECTOR + 0x1EC)
            f.write(struct.pack('<I', hint))
        self.record.ops.append('%d: FSInfo next free = 0x%x' % (self.record.op, hint))

    def build(self):
        v = self.mkfs()
        rng, p = self.rng, self.params
        # Three phases: filling, with deletions between the writes (holes that later files fill
        # and pass: fragments, and clusters of deleted files taken again); a deleting spree over
        # up to half the files, as before a recovery; then sometimes a few writes over what the
        # spree freed.
        v = self.run_ops(v, [rng.choices(['write', 'mkdir', 'del', 'deltree', 'hint'], [60, 10, 22, 3, 5])[0]
                             for _ in range(p['operations'])])
        live = sum(1 for n in self.record.nodes if n.kind == 'file' and n.deleted_op is None)
        v = self.run_ops(v, [rng.choices(['del', 'deltree', 'write'], [85, 3, 12])[0]
                             for _ in range(rng.randint(live // 8, live // 2))])
        after = rng.choice([0, 0, rng.randint(1, max(1, p['operations'] // 8))])
        v = self.run_ops(v, ['hint'] + [rng.choices(['write', 'del', 'mkdir'], [75, 20, 5])[0] for _ in range(after)])
        self.final_check(v)
        return self.record

    def run_ops(self, v, kinds):
        ops = {'write': self.op_write, 'mkdir': self.op_mkdir, 'del': self.op_delete_file,
               'deltree': self.op_delete_tree, 'hint': self.op_reset_hint}
        for kind in kinds:
            self.record.op += 1
            after = ops[kind](v)
            if after is not None:
                self.record.note_allocation(newly_allocated(v.fat, after.fat))
                v = after
        return v

    def final_check(self, v):
        """Every live file still holds its bytes in its recorded clusters."""
        for n in self.record.nodes:
            if n.kind == 'file' and n.deleted_op is None and \
                    v.read_clusters(n.clusters, n.size) != content(self.seed, n.id, n.size):
                raise HarnessError('live file %s changed under the record' % self.record.path(n))

    def selection(self):
        return self.image, self.params['offset']


# ---------------------------------------------------------------------------------------------
# exFAT by mkfs.exfat and exfat-fuse on a loop device
# ---------------------------------------------------------------------------------------------

def exfat_boot_checksum(region):
    s = 0
    for i, b in enumerate(region):
        if i not in (106, 107, 112):
            s = ((s & 1) << 31 | s >> 1) + b & 0xFFFFFFFF
    return s


class ExfatBuilder:
    def __init__(self, seed, work):
        self.seed, self.work = seed, work
        self.rng = rng = random.Random(seed)
        self.image = os.path.join(work, 'disk.img')
        self.mount_point = os.path.join(work, 'mnt')
        self.loop = None
        self.mounted = False
        p = {'fs': 'exfat', 'nfats': 1}
        p['cluster_size'] = rng.choice([512, 1024, 2048, 4096, 4096, 8192, 16384, 32768])
        clusters = rng.randint(1500, 12000)
        p['sectors'] = (clusters * p['cluster_size'] // SECTOR + 8192) & ~7
        p['layout'] = rng.choice(['whole', 'mbr'])
        p['offset'] = 0 if p['layout'] == 'whole' else rng.choice([63, 2048, 2048, 128])
        p['label'] = rng.choice(['', '', 'SALVEX', 'Test %d' % (seed % 100)])
        p['serial'] = (seed * 2654435761 + 7) & 0xFFFFFFFF
        p['epoch'] = rng.randint(EPOCH_FIRST, EPOCH_LAST - 10 ** 7)
        p['rounds'] = rng.randint(8, 30)
        p['max_depth'] = rng.randint(0, 3)
        self.params = p
        self.record = Record(seed, p)

    @staticmethod
    def usable():
        """Why exFAT volumes cannot be made here, or None."""
        if os.geteuid() != 0:
            return 'not root'
        if not os.path.exists('/dev/fuse'):
            return 'no /dev/fuse'
        missing = [t for t in EXFAT_TOOLS if not shutil.which(t)]
        return 'missing ' + ', '.join(missing) if missing else None

    def volume(self):
        return ExfatVolume(self.image, self.params['offset'])

    # -- the device ------------------------------------------------------------------------------
    def attach(self):
        p = self.params
        cmd = ['losetup', '--find', '--show']
        if p['offset']:
            cmd += ['--offset', str(p['offset'] * SECTOR), '--sizelimit', str(p['sectors'] * SECTOR)]
        r = run(cmd + [self.image], check=False)
        if r.returncode != 0:
            raise Skipped('no free loop device: ' + r.stderr.decode(errors='replace').strip()[-100:])
        self.loop = r.stdout.decode().strip()

    def mount(self):
        r = run(['mount.exfat-fuse', '-o', 'noatime', self.loop, self.mount_point], check=False)
        if r.returncode != 0:
            raise Skipped('mount.exfat-fuse failed: ' + r.stderr.decode(errors='replace').strip()[-100:])
        self.mounted = True

    def unmount(self):
        # umount of an exfat-fuse (fuseblk) mount returns once the driver has written everything;
        # dropping the loop device's buffers then makes the image file show it
        run(['umount', self.mount_point])
        self.mounted = False
        run(['blockdev', '--flushbufs', self.loop])

    def release(self):
        """Unmounts and detaches what this seed made, also after a failure."""
        if self.mounted:
            if run(['umount', self.mount_point], check=False).returncode != 0:
                run(['umount', '-l', self.mount_point], check=False)
            self.mounted = False
        if self.loop:
            run(['losetup', '-d', self.loop], check=False)
            self.loop = None

    def set_serial(self):
        """mkfs.exfat takes the volume serial from the clock: put the seed's own in both boot
        regions, with their checksums, so that a seed makes the same volume."""
        with open(self.loop, 'r+b') as dev:
            for region in (0, 12):
                dev.seek(region * SECTOR)
                data = bytearray(dev.read(11 * SECTOR))
                struct.pack_into('<I', data, 0x64, self.params['serial'])
                dev.seek(region * SECTOR)
                dev.write(data)
                dev.write(struct.pack('<I', exfat_boot_checksum(data)) * (SECTOR // 4))
            dev.flush()
            os.fsync(dev.fileno())

    # -- operations (inside a mount) ---------------------------------------------------------------
    def host_path(self, folder, name=None):
        path = self.record.path(folder) if folder else ''
        if name is not None:
            path = os.path.join(path, name) if path else name
        return os.path.join(self.mount_point, path)

    def new_file(self, v, free):
        rng, rec = self.rng, self.record
        folder = rng.choice(self.record.folders())
        name = rec.new_name(rng, folder)
        size = random_size(rng, v.cluster_size)
        while size and -(-size // v.cluster_size) > free - 8:
            size //= 4
        if name is None or -(-size // v.cluster_size) > free - 8:
            return None
        node = Node('file', len(rec.nodes) + 1, name, folder, rec.op)
        node.size = size
        rec.nodes.append(node)
        return node

    def write_files(self, v, free, count):
        """Writes `count` files together, a few clusters of each in turn (two programs saving at
        once), so that their clusters interleave."""
        nodes = []
        for _ in range(count):
            n = self.new_file(v, free)
            if n is not None:
                nodes.append(n)
                free -= -(-n.size // v.cluster_size) + 1
        handles = [(n, open(self.host_path(n.parent, n.name), 'wb'), content(self.seed, n.id, n.size)) for n in nodes]
        self.record.ops.append('%d: write %s' % (self.record.op, ', '.join(repr(self.record.path(n)) for n in nodes)))
        written = {n.id: 0 for n in nodes}
        while handles:
            n, f, data = handles[0]
            step = self.rng.randint(1, 4) * v.cluster_size if len(handles) > 1 else len(data)
            f.write(data[written[n.id]:written[n.id] + step])
            f.flush()
            written[n.id] += step
            if written[n.id] >= len(data):
                f.close()
                mtime = self.params['epoch'] - self.rng.randint(0, 10 ** 7)
                os.utime(self.host_path(n.parent, n.name), (mtime, mtime))
                handles.pop(0)
            else:
                handles.append(handles.pop(0))
        return free

    def make_folder(self, v):
        rng, rec = self.rng, self.record
        roomy = [f for f in self.record.folders() if self.record.depth(f) < self.params['max_depth']]
        folder = rng.choice(roomy or [None])
        if self.record.depth(folder) >= self.params['max_depth']:
            return
        name = rec.new_name(rng, folder)
        if name is not None:
            os.mkdir(self.host_path(folder, name))
            rec.ops.append('%d: mkdir %r' % (rec.op, rec.path(folder) + '/' + name if folder else name))
            rec.nodes.append(Node('folder', len(rec.nodes) + 1, name, folder, rec.op))

    # -- rounds: writes, or deletions, between two mounts -----------------------------------------
    def write_round(self, v):
        free = sum(1 for c in range(2, v.clusters + 2) if not v.allocated(c))
        first_new = len(self.record.nodes)
        for _ in range(self.rng.randint(1, 6)):
            if self.rng.random() < 0.15:
                self.make_folder(v)
            elif free > 16:
                free = self.write_files(v, free, self.rng.choice([1, 1, 1, 2, 2, 3]))
        return self.record.nodes[first_new:]

    def delete_round(self, count):
        rng, rec = self.rng, self.record
        gone = []
        for _ in range(count):
            live = [n for n in rec.nodes if n.deleted_op is None and n not in gone and
                    not any(g.kind == 'folder' and n in rec.subtree(g) for g in gone)]
            files = [n for n in live if n.kind == 'file']
            folders = [n for n in live if n.kind == 'folder']
            if folders and rng.random() < 0.1:
                n = rng.choice(folders)
                shutil.rmtree(self.host_path(n.parent, n.name))
                rec.ops.append('%d: rm -r %r' % (rec.op, rec.path(n)))
                gone += rec.subtree(n)
            elif files:
                n = rng.choice(files)
                os.remove(self.host_path(n.parent, n.name))
                rec.ops.append('%d: rm %r' % (rec.op, rec.path(n)))
                gone.append(n)
        return gone

    def sync(self, v, new):
        """Finds every live node in the volume as it is now, parents first: the new ones get
        their entries and clusters (their bytes checked), folders their clusters as they have
        grown."""
        for n in self.record.nodes:
            if n.deleted_op is not None:
                continue
            parent = v.chain(v.root) if n.parent is None else n.parent.clusters
            e = next((e for e in v.entries(parent) if e.name == n.name), None)
            if e is None or e.is_dir != (n.kind == 'folder') or (n.kind == 'file' and e.size != n.size):
                raise HarnessError('%s: exfat-fuse stored no such %s' % (self.record.path(n), n.kind))
            if n.kind == 'folder':
                n.clusters, n.size = e.clusters, e.size
            if n in new:
                n.first_cluster, n.entry_offset, n.slots, n.clusters = e.first_cluster, e.offset, e.slots, e.clusters
                if n.kind == 'file' and v.read_clusters(n.clusters, n.size) != content(self.seed, n.id, n.size):
                    raise HarnessError('%s: its clusters do not hold what was written' % self.record.path(n))

    def record_deleted(self, v, nodes):
        for n in nodes:
            slots = [v.read(off, 32) for off in n.slots]
            if any(s[0] & 0x80 for s in slots):
                raise HarnessError('%s: entry still in use after its deletion' % self.record.path(n))
            if any(v.allocated(c) for c in n.clusters):
                raise HarnessError('%s: clusters still allocated after its deletion' % self.record.path(n))
            n.deleted_op, n.deleted_slots = self.record.op, [s.hex() for s in slots]
            n.deleted_length = struct.unpack_from('<Q', slots[1], 24)[0]

    def build(self):
        p = self.params
        with open(self.image, 'wb') as f:
            f.truncate((p['offset'] + p['sectors']) * SECTOR)
        if p['layout'] == 'mbr':
            table = 'label: dos\nlabel-id: 0x%08x\nstart=%d, size=%d, type=7\n' % (
                ((self.seed + 1) * 2654435761) & 0xFFFFFFFF, p['offset'], p['sectors'])
            run(['sfdisk', '--no-reread', '--no-tell-kernel', '-q', self.image], input=table.encode(), stdin=None)
            self.record.ops.append('sfdisk: ' + table.replace('\n', '; '))
        os.makedirs(self.mount_point, exist_ok=True)
        self.attach()
        try:
            cmd = ['mkfs.exfat', '-c', str(p['cluster_size'])] + (['-L', p['label']] if p['label'] else [])
            run(cmd + [self.loop])
            self.record.ops.append(' '.join(cmd))
            self.set_serial()
            run(['blockdev', '--flushbufs', self.loop])
            v = self.volume()
            p['clusters'] = v.clusters
            # rounds of writes and of deletions in turns, then a deleting spree over up to half
            # the files, as before a recovery, and sometimes a last round of writes after it
            plan = [r > 1 and self.rng.random() < 0.4 for r in range(p['rounds'])] + [None]
            plan += [False] if self.rng.random() < 0.25 else []
            for deleting in plan:
                self.record.op += 1
                if deleting is None:
                    live = sum(1 for n in self.record.nodes if n.kind == 'file' and n.deleted_op is None)
                    count = self.rng.randint(live // 8, live // 2)
                    deleting = True
                else:
                    count = self.rng.randint(1, 4)
                self.mount()
                try:
                    changed = self.delete_round(count) if deleting else self.write_round(v)
                finally:
                    self.unmount()
                after = self.volume()
                if deleting:
                    self.record_deleted(after, changed)
                self.sync(after, [] if deleting else changed)
                self.record.note_allocation({c for c in range(2, v.clusters + 2)
                                             if not v.allocated(c) and after.allocated(c)})
                v = after
        finally:
            self.release()
        for n in self.record.nodes:
            if n.kind == 'file' and n.deleted_op is None and \
                    v.read_clusters(n.clusters, n.size) != content(self.seed, n.id, n.size):
                raise HarnessError('live file %s changed under the record' % self.record.path(n))
        return self.record

    def selection(self):
        return self.image, self.params['offset']


# ---------------------------------------------------------------------------------------------
# What a reader can know at the end
# ---------------------------------------------------------------------------------------------

def known_clusters(n):
    """The clusters of a deleted file a reader knows without working out a layout: its first
    one, and all of them when they follow each other."""
    if all(b == a + 1 for a, b in zip(n.clusters, n.clusters[1:])):
        return n.clusters
    return n.clusters[:1]


def settle(record, v):
    """Sorts every file into what it is judged as: 'live'; a deleted file whose entry is gone
    ('entry-lost') or lies where a folder walk cannot reach it ('unreachable': in a later cluster
    of a deleted folder, whose chain is cleared, or in a cluster a live folder gave back); 'free'
    (none of its clusters allocated since its deletion) or 'reused'. A reused file has
    `evidence` when a reader can still see it: a cluster of it is allocated now, or is one a
    later deleted file that is listed too is known to hold (its first, or any of a file whose
    clusters follow each other)."""
    # the entry a reader finds a file by: the short entry after its long name's slots on FAT,
    # the file entry that opens its set on exFAT, whose whole set must stand
    main = 0 if record.params['fs'] == 'exfat' else -1
    for n in record.nodes:
        n.entry_intact = n.name_intact = True
        if n.deleted_op is not None:
            n.entry_intact = v.read(n.slots[main], 32).hex() == n.deleted_slots[main]
            n.name_intact = n.entry_intact and all(v.read(o, 32).hex() == d for o, d in zip(n.slots, n.deleted_slots))
            if record.params['fs'] == 'exfat':
                n.entry_intact = n.name_intact
    def within(n, clusters):
        # an exFAT entry set is read whole or not at all; a FAT entry is found by its short
        # entry, which names it even when its long name's slots lie elsewhere
        slots = n.slots if record.params['fs'] == 'exfat' else [n.entry_offset]
        return all(any(v.cluster_offset(c) <= o < v.cluster_offset(c) + v.cluster_size for c in clusters)
                   for o in slots)

    def reachable(n):
        """Whether a walk from the root reads the slots of this deleted node's entry."""
        p = n.parent
        if p is None:
            if isinstance(v, FatVolume) and v.bits != 32:
                start = v.base + v.first_data_sector * SECTOR
                return start <= n.entry_offset < start + v.root_sectors * SECTOR
            return within(n, v.chain(v.root_cluster if isinstance(v, FatVolume) else v.root))
        if p.deleted_op is None:
            # a live folder as it is now: exfat-fuse gives back a folder's free clusters at its end
            return within(n, v.chain(p.first_cluster) if isinstance(v, FatVolume) else p.clusters)
        if not (p.entry_intact and reachable(p)):
            return False
        # a deleted folder is read from its first cluster, and on exFAT as far as its recorded
        # length goes while its clusters follow each other
        readable = 1
        while readable < min(len(p.clusters), -(-p.deleted_length // v.cluster_size)) and \
                p.clusters[readable] == p.clusters[0] + readable:
            readable += 1
        return within(n, p.clusters[:readable])

    for n in record.nodes:
        if n.deleted_op is None:
            n.state = 'live'
        elif not n.entry_intact:
            n.state = 'entry-lost'
        elif not reachable(n):
            n.state = 'unreachable'
        else:
            n.state = 'reused' if n.reused_op is not None else 'free'
        # no cluster of it allocated since its deletion: its bytes must all still be there
        if n.kind == 'file' and n.state == 'free' and \
                v.read_clusters(n.clusters, n.size) != content(record.seed, n.id, n.size):
            raise HarnessError('%s: its clusters were never taken again, yet its bytes changed' % record.path(n))
    later_claims = {}
    for n in record.nodes:
        if n.kind == 'file' and n.state in ('free', 'reused'):
            for c in known_clusters(n):
                later_claims.setdefault(c, []).append(n.written_op)
    for n in record.nodes:
        n.evidence = n.state == 'reused' and (
            any(v.allocated(c) for c in n.clusters) or
            any(op > n.deleted_op for c in n.clusters for op in later_claims.get(c, [])))


def name_pattern(record, n):
    """How a reader may name a node: ('exact', name); or for a deleted FAT entry whose long
    name is not whole ('short', 8.3 name), its first character being gone, or while the long
    name's slots next to the entry stand, ('prefix', long name): the 13 characters a slot of
    them each."""
    if n.deleted_op is None or record.params['fs'] == 'exfat' or (n.has_lfn and n.name_intact):
        return 'exact', n.name
    return ('prefix' if n.has_lfn else 'short'), n.name, n.short


def name_matches(got, pattern):
    if pattern[0] == 'exact':
        return got == pattern[1]
    short = pattern[-1]
    if len(got) == len(short) and got[1:].upper() == short[1:].upper():
        return True
    return pattern[0] == 'prefix' and 0 < len(got) < len(pattern[1]) and len(got) % 13 == 0 and \
        pattern[1].startswith(got)


def path_patterns(record, n):
    out = []
    while n is not None:
        out.append(name_pattern(record, n))
        n = n.parent
    return list(reversed(out))


def tsk_inode(v, entry_offset):
    """The Sleuth Kit's number for the directory entry at this offset."""
    sector = (entry_offset - v.base) // SECTOR
    return (sector - v.first_data_sector) * (SECTOR // 32) + entry_offset % SECTOR // 32 + 3


# ---------------------------------------------------------------------------------------------
# The tools under test
# ---------------------------------------------------------------------------------------------

def salvex_program():
    path = os.environ.get('SALVEX') or os.path.join(PROJECT, 'build', 'src', 'cli', 'salvex')
    return os.path.abspath(path)


def run_program(cmd, timeout=600):
    """Runs salvex; another build may be replacing the binary, so a missing one is waited for."""
    for _ in range(60):
        if os.access(cmd[0], os.X_OK):
            try:
                return subprocess.run(cmd, env=tool_env(), stdin=subprocess.DEVNULL, capture_output=True,
                                      timeout=timeout)
            except (FileNotFoundError, PermissionError, OSError):
                pass
            except subprocess.TimeoutExpired:
                raise HarnessError('%s timed out' % ' '.join(cmd[:2]))
        time.sleep(1)
    raise HarnessError('%s not found' % cmd[0])


def read_tree(root):
    out = {}
    for folder, _, files in os.walk(root):
        for name in files:
            path = os.path.join(folder, name)
            with open(path, 'rb') as f:
                out[os.path.relpath(path, root)] = f.read()
    return out


def run_salvex(image, work):
    program = salvex_program()
    scan = run_program([program, 'scan', image, '--partition', '1', '--json'])
    try:
        items = json.loads(scan.stdout.decode())
    except ValueError:
        items = []
    out = os.path.join(work, 'salvex-out')
    shutil.rmtree(out, ignore_errors=True)
    recover = run_program([program, 'recover', image, '--partition', '1', '--all', '--out', out])
    return {'items': items, 'tree': read_tree(out), 'scan_exit': scan.returncode, 'recover_exit': recover.returncode,
            'scan_stderr': scan.stderr.decode(errors='replace'),
            'recover_stdout': recover.stdout.decode(errors='replace'),
            'recover_stderr': recover.stderr.decode(errors='replace')}


FLS_LINE = re.compile(r'^(\S)/(\S) (\* )?(\d+)(?:-\d+-\d+)?(?:\(realloc\))?:\t([^\t]*)\t.*\t(\d+)\t\d+\t\d+$')


def run_tsk(image, offset, work):
    listing = run(['fls', '-r', '-p', '-l', '-z', 'UTC', '-o', str(offset), image], check=False)
    entries = {}
    for line in listing.stdout.decode(errors='replace').splitlines():
        m = FLS_LINE.match(line)
        if m and m.group(2) in 'r-' and m.group(1) in 'r-':
            entries.setdefault(int(m.group(4)), []).append(
                {'path': m.group(5), 'deleted': bool(m.group(3)), 'size': int(m.group(6))})
    out = os.path.join(work, 'tsk-out')
    shutil.rmtree(out, ignore_errors=True)
    run(['tsk_recover', '-e', '-o', str(offset), image, out], check=False)
    paths = {}
    for es in entries.values():
        for e in es:
            paths[e['path']] = paths.get(e['path'], 0) + 1
    return {'entries': entries, 'tree': read_tree(out), 'path_count': paths, 'image': image, 'offset': offset,
            'fls': listing.stdout.decode(errors='replace')}


def tsk_bytes(tsk, inode, entry):
    """What The Sleuth Kit gives back for an entry: tsk_recover's file, or icat's where two
    entries share a path (tsk_recover writes one over the other)."""
    if tsk['path_count'].get(entry['path']) == 1 and entry['path'] in tsk['tree']:
        return tsk['tree'][entry['path']]
    r = run(['icat', '-r', '-o', str(tsk['offset']), tsk['image'], str(inode)], check=False)
    return r.stdout if r.returncode == 0 else None


# ---------------------------------------------------------------------------------------------
# Judging
# ---------------------------------------------------------------------------------------------

def marks_of(item):
    out = []
    for k in MARK_KEYS:
        value = item.get(k)
        if k == 'recoverable':
            if value is False:
                out.append('recoverable=false')
        elif value:
            out.append(k)
    return out


class Locator:
    """Which clusters of the final image a recovered file's bytes came from."""

    def __init__(self, v):
        self.v, self.whole, self.heads = v, None, {}

    def index(self):
        v, size = self.v, self.v.cluster_size
        self.whole, zero = {}, bytes(size)
        for c in range(2, v.clusters + 2):
            block = v.read(v.cluster_offset(c), size)
            if block != zero:
                self.whole.setdefault(hashlib.md5(block).digest(), c)
                self.heads.setdefault(block[:16], []).append(c)

    def clusters(self, data, truth):
        """The cluster each cluster-sized block came from: a number, 'Z' for zeros, '?' if none."""
        # (a tail of under 16 bytes that is not where the blocks before it lead is '~')
        v, size = self.v, self.v.cluster_size
        if self.whole is None:
            self.index()
        out = []
        for i in range(0, len(data), size):
            block = data[i:i + size]
            if block.count(0) == len(block):
                out.append('Z')
            elif len(block) == size:
                out.append(self.whole.get(hashlib.md5(block).digest(), '?'))
            else:
                # the file's last, partly used cluster: the one after the block before, the true
                # one, or any that starts the same
                guesses = ([out[-1] + 1] if out and isinstance(out[-1], int) else []) + \
                    truth[i // size:i // size + 1] + (self.heads.get(block[:16], []) if len(block) >= 16 else [])
                found = next((c for c in guesses if 2 <= c < v.clusters + 2 and
                              v.read_clusters([c], len(block)) == block), None)
                # '~': a tail too short to tell where it came from
                out.append(found if found is not None else '?' if len(block) >= 16 else '~')
        return out

    def __call__(self, data, truth):
        return runs_text(self.clusters(data, truth))


class RecoveredFiles:
    """salvex's recovered files. Recovery writes a second file of one path as "Copy (1 ) of
    NAME": an item takes the first file of its path not taken yet that holds its bytes."""

    def __init__(self, tree):
        self.tree, self.taken = tree, set()

    def candidates(self, path):
        folder, _, name = path.rpartition('/')
        out = []
        for k in range(0, 1000):
            p = name if k == 0 else 'Copy (%d ) of %s' % (k, name)
            p = folder + '/' + p if folder else p
            if p in self.tree:
                out.append(p)
            elif k > 0:
                break
        return [p for p in out if p not in self.taken]

    def take_exact(self, path, want):
        for p in self.candidates(path):
            if self.tree[p] == want:
                self.taken.add(p)
                return True
        return False

    def first(self, path):
        return next((self.tree[p] for p in self.candidates(path)), None)


class Judge:
    """Sorts every file of a record by what salvex and The Sleuth Kit made of it."""

    def __init__(self, record, v, sx, tsk):
        self.record, self.v, self.sx, self.tsk = record, v, sx, tsk
        self.counts = {'salvex': {}, 'tsk': {}}
        self.findings = []
        self.locate = Locator(v)
        self.recovered = RecoveredFiles(sx['tree'])
        self.items = [it for it in sx['items'] if isinstance(it, dict) and isinstance(it.get('path'), str)]
        self.used_items = set()
        # clusters a reader can see are taken: allocated now, or known to be a listed deleted file's
        self.claims = {}
        for n in record.nodes:
            if n.kind == 'file' and n.state in ('free', 'reused'):
                for c in known_clusters(n):
                    self.claims.setdefault(c, set()).add(n.id)

    def count(self, tool, key):
        self.counts[tool][key] = self.counts[tool].get(key, 0) + 1

    def want(self, n):
        return content(self.record.seed, n.id, n.size)

    def find(self, cls, n, detail, item=None, failing=True):
        text = '%s; true clusters %s' % (detail, runs_text(n.clusters))
        if item is not None:
            text += '; salvex firstCluster %s, marks %s' % (item.get('firstCluster'),
                                                           ', '.join(marks_of(item)) or 'none')
            if not cls.startswith(('live-marked', 'deleted-exact-marked')):
                got = self.recovered.first(item['path'])
                text += ', read %s' % (self.locate(got, n.clusters) if got is not None else 'nothing')
        if n.state in ('free', 'reused'):
            text += '; TSK %s' % n.tsk
        self.findings.append({'class': cls, 'failing': failing, 'path': self.record.path(n), 'detail': text})

    def run(self):
        files = [n for n in self.record.nodes if n.kind == 'file' and n.state in ('live', 'free', 'reused')]
        for n in files:
            self.judge_tsk(n)
        for n in self.record.nodes:
            if n.state == 'live':
                self.judge_live(n)
        # deleted files whose whole names are known first: they cannot take another's item
        deleted = [n for n in files if n.state != 'live']
        deleted.sort(key=lambda n: name_pattern(self.record, n)[0] != 'exact')
        for n in deleted:
            self.judge_deleted(n)
        return self.counts, self.findings

    def judge_tsk(self, n):
        inode = tsk_inode(self.v, n.entry_offset)
        es = [e for e in self.tsk['entries'].get(inode, []) if e['deleted'] == (n.state != 'live')]
        prefix = 'deleted' if n.state == 'free' else n.state
        if not es:
            n.tsk = 'missing'
        else:
            e = es[0]
            got = b'' if e['size'] == 0 and n.size == 0 else tsk_bytes(self.tsk, inode, e)
            exact = got == self.want(n) and e['size'] == n.size and \
                (n.state != 'live' or e['path'] == self.record.path(n))
            n.tsk = 'exact' if exact else 'wrong'
        self.count('tsk', prefix + '_' + n.tsk)

    def judge_live(self, n):
        path = self.record.path(n)
        free = [i for i, it in enumerate(self.items) if i not in self.used_items and it['path'] == path and
                it.get('kind') == n.kind and not it.get('deleted')]
        if n.kind == 'folder':
            if free:
                self.used_items.add(free[0])
            else:
                self.find('live-folder-missing', n, 'live folder not listed')
            return
        if not free:
            self.count('salvex', 'live_missing')
            self.find('live-missing', n, 'live file of %d bytes not listed' % n.size)
            return
        free.sort(key=lambda i: self.items[i].get('size') != n.size)
        it = self.items[free[0]]
        self.used_items.add(free[0])
        if it.get('size') == n.size and self.recovered.take_exact(path, self.want(n)):
            self.count('salvex', 'live_exact')
            if marks_of(it):
                self.find('live-marked', n, 'live file recovered exactly, but marked', it, failing=False)
        else:
            self.count('salvex', 'live_wrong')
            self.find('live-wrong', n, 'live file listed with %s bytes (true %d), recovered wrong' % (
                it.get('size'), n.size), it)

    def match_deleted(self, n):
        pattern = path_patterns(self.record, n)
        matches = []
        for i, it in enumerate(self.items):
            parts = it['path'].split('/')
            if i not in self.used_items and it.get('kind') == 'file' and it.get('deleted') and \
                    it.get('size') == n.size and len(parts) == len(pattern) and \
                    all(name_matches(g, p) for g, p in zip(parts, pattern)):
                matches.append(i)
        matches.sort(key=lambda i: self.items[i].get('firstCluster') != n.first_cluster)
        if not matches:
            return None
        self.used_items.add(matches[0])
        return self.items[matches[0]]

    def what_was_read(self, n, item):
        """Where salvex's wrong bytes for a file came from, as far as this volume shows it."""
        got = self.recovered.first(item['path'])
        if got is None:
            return 'nothing recovered'
        read = self.locate.clusters(got, n.clusters)
        if '?' in read:
            return 'bytes found in no cluster'
        wrong = [c for c in read if c not in n.clusters and isinstance(c, int)]
        if any(self.v.allocated(c) for c in wrong):
            return 'reads a cluster in use'
        if any(self.claims.get(c, set()) - {n.id} for c in wrong):
            return "reads a listed deleted file's cluster"
        if wrong:
            return 'reads free clusters no listed file holds'
        return 'reads a short tail from elsewhere' if '~' in read else 'reads its own clusters wrong'

    def unknowable(self, n, item):
        """A fragmented deleted file read from clusters that are free and that no listed file is
        known to hold: what lay between its fragments belonged to files whose entries are gone,
        so no reader can tell that its clusters do not follow each other."""
        fragmented = any(b != a + 1 for a, b in zip(n.clusters, n.clusters[1:]))
        # a chain the FAT still holds (exFAT drivers may leave it) tells the fragments
        chained = all(self.v.fat[a] == b for a, b in zip(n.clusters, n.clusters[1:]))
        return fragmented and not chained and self.what_was_read(n, item) in (
            'reads free clusters no listed file holds', 'reads a short tail from elsewhere')

    def judge_deleted(self, n):
        prefix = 'deleted' if n.state == 'free' else 'reused'
        it = self.match_deleted(n)
        if it is None:
            self.count('salvex', prefix + '_missing')
            if n.state == 'free':
                self.find('deleted-missing', n, 'deleted file (first cluster %d, %d bytes) not listed' % (
                    n.first_cluster, n.size), failing=False)
            return
        marks = marks_of(it)
        if self.recovered.take_exact(it['path'], self.want(n)):
            self.count('salvex', prefix + '_exact')
            if marks and n.state == 'free':
                self.count('salvex', 'deleted_exact_marked')
                self.find('deleted-exact-marked, ' + '+'.join(marks), n, 'recovered exactly, but marked', it,
                          failing=False)
        elif marks:
            self.count('salvex', prefix + '_marked')
            if n.state == 'free':
                self.find('deleted-wrong-marked, ' + self.what_was_read(n, it), n,
                          'clusters free since its deletion, recovered wrong, marked',
                          it, failing=False)
        elif n.state == 'free' and self.unknowable(n, it):
            self.count('salvex', 'deleted_unknowable')
            self.find('deleted-wrong-unknowable', n, 'fragmented around clusters no listed file is known to '
                      'hold, recovered wrong without a mark', it, failing=False)
        elif n.state == 'free':
            self.count('salvex', 'deleted_unmarked')
            self.find('deleted-wrong-unmarked, ' + self.what_was_read(n, it), n,
                      'clusters free since its deletion, recovered wrong without a mark', it)
        elif n.evidence:
            self.count('salvex', 'reused_unmarked')
            self.find('reused-unmarked', n, 'a cluster taken again at operation %d (%s), no mark' % (
                n.reused_op, 'allocated now' if any(self.v.allocated(c) for c in n.clusters)
                else 'known to be a later deleted file\'s'), it)
        else:
            self.count('salvex', 'reused_unseen')


# ---------------------------------------------------------------------------------------------
# One seed
# ---------------------------------------------------------------------------------------------

FAT_KINDS = ('fat12', 'fat16', 'fat32')


def seed_kind(seed, fs, fats):
    """Without --fs the seed picks the kind: any six seeds in a row cover FAT12/16/32 with one
    FAT and with two."""
    fs = fs or FAT_KINDS[seed % 3]
    nfats = 1 if fs == 'exfat' else fats or 1 + (seed // 3) % 2
    return fs, nfats


def kind_label(fs, nfats):
    return 'exFAT' if fs == 'exfat' else 'FAT, %s' % ('one FAT' if nfats == 1 else 'two FATs')


def save_kept(work, record, sx, tsk):
    def node(n):
        return {'kind': n.kind, 'path': record.path(n), 'state': n.state, 'size': n.size, 'fid': n.id,
                'first_cluster': n.first_cluster, 'clusters': runs_text(n.clusters), 'entry_offset': n.entry_offset,
                'written_op': n.written_op, 'deleted_op': n.deleted_op, 'reused_op': n.reused_op,
                'evidence': n.evidence, 'name_intact': n.name_intact, 'short': n.short}
    with open(os.path.join(work, 'truth.json'), 'w') as f:
        json.dump({'params': record.params, 'nodes': [node(n) for n in record.nodes]}, f, indent=1,
                  ensure_ascii=False)
    with open(os.path.join(work, 'operations.txt'), 'w') as f:
        f.write('\n'.join(record.ops) + '\n')
    with open(os.path.join(work, 'salvex-scan.json'), 'w') as f:
        json.dump(sx['items'], f, indent=1, ensure_ascii=False)
    with open(os.path.join(work, 'fls.txt'), 'w') as f:
        f.write(tsk['fls'])


def run_seed(seed, fs, fats, keep):
    started = time.time()
    fs, nfats = seed_kind(seed, fs, fats)
    result = {'seed': seed, 'fs': fs, 'nfats': nfats, 'kind': kind_label(fs, nfats)}
    work = keep or tempfile.mkdtemp(prefix='salvex-differential-%d-' % seed)
    os.makedirs(work, exist_ok=True)
    try:
        if fs == 'exfat':
            why = ExfatBuilder.usable()
            if why:
                raise Skipped(why)
            builder = ExfatBuilder(seed, work)
        else:
            missing = [t for t in FAT_TOOLS if not shutil.which(t)]
            if missing:
                raise Skipped('missing ' + ', '.join(missing))
            builder = FatBuilder(seed, fs, nfats, work)
        record = builder.build()
        image, offset = builder.selection()
        v = builder.volume()
        settle(record, v)
        sx = run_salvex(image, work)
        tsk = run_tsk(image, offset, work)
        counts, findings = Judge(record, v, sx, tsk).run()
        if sx['scan_exit'] != 0 or sx['recover_exit'] != 0:
            findings.append({'class': 'salvex-exit', 'failing': False, 'path': '',
                             'detail': 'scan exit %d, recover exit %d on a healthy image: %s' % (
                                 sx['scan_exit'], sx['recover_exit'],
                                 (sx['scan_stderr'] + sx['recover_stderr']).strip()[-300:])})
        states = {}
        for n in record.nodes:
            if n.kind == 'file':
                states[n.state] = states.get(n.state, 0) + 1
        p = builder.params
        result.update(status='ok', layout=p['layout'], clusters=p['clusters'], cluster_size=p['cluster_size'],
                      operations=record.op, files=states, salvex=counts['salvex'], tsk=counts['tsk'],
                      findings=findings)
        if keep:
            save_kept(work, record, sx, tsk)
    except Skipped as e:
        result.update(status='skipped', reason=str(e))
    except HarnessError as e:
        result.update(status='harness-error', reason=str(e))
    finally:
        if not keep:
            shutil.rmtree(work, ignore_errors=True)
    result['seconds'] = round(time.time() - started, 2)
    return result


def failing(result):
    return [f for f in result.get('findings', []) if f['failing']]


def seed_line(r):
    head = 'seed %d %s%s' % (r['seed'], r['fs'], '' if r['fs'] == 'exfat' else '/%d FAT%s' % (
        r['nfats'], 's' if r['nfats'] > 1 else ''))
    if r['status'] != 'ok':
        return '%s: %s: %s' % (head, r['status'].upper(), r['reason'])
    s, t, files = r['salvex'], r['tsk'], r['files']
    return ('%s %s, %d clusters of %d: live %d/%d | deleted %d: exact %d, marked %d, UNMARKED %d, unknowable %d, '
            'missing %d | reused %d: marked %d, UNMARKED %d | tsk live %d/%d, deleted %d/%d | %.1f s%s') % (
        head, r['layout'], r['clusters'], r['cluster_size'], s.get('live_exact', 0), files.get('live', 0),
        files.get('free', 0), s.get('deleted_exact', 0), s.get('deleted_marked', 0), s.get('deleted_unmarked', 0),
        s.get('deleted_unknowable', 0), s.get('deleted_missing', 0), files.get('reused', 0),
        s.get('reused_marked', 0), s.get('reused_unmarked', 0), t.get('live_exact', 0), files.get('live', 0),
        t.get('deleted_exact', 0), files.get('free', 0), r['seconds'], '  FAIL' if failing(r) else '')


# ---------------------------------------------------------------------------------------------
# Summary over many seeds
# ---------------------------------------------------------------------------------------------

def percent(a, b):
    return '%d/%d (%.1f%%)' % (a, b, 100.0 * a / b) if b else '-'


def summary(results, out=sys.stdout):
    ok = [r for r in results if r['status'] == 'ok']
    skipped = [r for r in results if r['status'] == 'skipped']
    broken = [r for r in results if r['status'] == 'harness-error']
    print('\n%d seed(s): %d judged, %d skipped, %d harness error(s)%s' % (
        len(results), len(ok), len(skipped), len(broken),
        ' (seeds %s)' % ' '.join(str(r['seed']) for r in broken) if broken else ''), file=out)
    groups = []
    for label in ('FAT, one FAT', 'FAT, two FATs', 'exFAT'):
        rows = [r for r in ok if r['kind'] == label]
        if rows:
            groups.append((label, rows))
            if label != 'exFAT':
                for fs in FAT_KINDS:
                    sub = [r for r in rows if r['fs'] == fs]
                    if sub and len(sub) != len(rows):
                        groups.append(('  %s, %s' % (fs.upper(), label.split(', ')[1]), sub))
    if not groups:
        return
    print('\n| kind | seeds | tool | live exact | deleted, clusters free: exact | wrong, marked | wrong, NO MARK | '
          'wrong, no mark, unknowable | not listed | deleted, clusters reused: marked | NO MARK | '
          'no mark, reuse not visible | not listed |', file=out)
    print('|---|---|---|---|---|---|---|---|---|---|---|---|---|', file=out)
    for label, rows in groups:
        live = sum(r['files'].get('live', 0) for r in rows)
        free = sum(r['files'].get('free', 0) for r in rows)
        reused = sum(r['files'].get('reused', 0) for r in rows)
        for tool in ('salvex', 'tsk'):
            t = {}
            for r in rows:
                for k, n in r[tool].items():
                    t[k] = t.get(k, 0) + n
            if tool == 'salvex':
                cells = [percent(t.get('live_exact', 0), live), percent(t.get('deleted_exact', 0), free),
                         t.get('deleted_marked', 0), t.get('deleted_unmarked', 0), t.get('deleted_unknowable', 0),
                         t.get('deleted_missing', 0), percent(t.get('reused_marked', 0), reused),
                         t.get('reused_unmarked', 0), t.get('reused_unseen', 0), t.get('reused_missing', 0)]
            else:
                # The Sleuth Kit has no marks: each file it gets wrong is wrong without one
                cells = [percent(t.get('live_exact', 0), live), percent(t.get('deleted_exact', 0), free), '-',
                         t.get('deleted_wrong', 0), '-', t.get('deleted_missing', 0), '-',
                         t.get('reused_wrong', 0), '-', t.get('reused_missing', 0)]
            print('| %s | %s | %s | %s |' % (label if tool == 'salvex' else '', len(rows) if tool == 'salvex' else '',
                                             'salvex' if tool == 'salvex' else 'TSK', ' | '.join(map(str, cells))),
                  file=out)
    unjudged = {}
    for r in ok:
        for k in ('entry-lost', 'unreachable'):
            unjudged[k] = unjudged.get(k, 0) + r['files'].get(k, 0)
    print('\nDeleted files not judged: %d whose entry was written over, %d whose entry no folder walk reaches '
          '(in a deleted folder\'s later clusters, or in clusters a folder gave back).' % (
              unjudged['entry-lost'], unjudged['unreachable']), file=out)
    for label in ('FAT, one FAT', 'FAT, two FATs', 'exFAT'):
        classes = {}
        for r in ok:
            if r['kind'] == label:
                for f in r['findings']:
                    classes.setdefault((not f['failing'], f['class']), []).append((r['seed'], f))
        if not classes:
            continue
        print('\nsalvex findings on %s (FAILING ones first): class, files, seeds, an example' % label, file=out)
        for (info, cls), found in sorted(classes.items()):
            seeds = sorted({s for s, _ in found})
            print('  %s%-24s %5d  seeds %s%s' % ('' if info else 'FAILING ', cls, len(found),
                                                  ' '.join(map(str, seeds[:12])), ' ...' if len(seeds) > 12 else ''),
                  file=out)
            seed, f = found[0]
            print('      e.g. seed %d %s: %s' % (seed, f['path'], f['detail'][:400]), file=out)


# ---------------------------------------------------------------------------------------------
# Command line
# ---------------------------------------------------------------------------------------------

def main(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('seeds', nargs='*', type=int, metavar='SEED')
    parser.add_argument('--range', nargs=2, type=int, metavar=('A', 'B'), help='seeds A to B, B not included')
    parser.add_argument('--fs', choices=list(FAT_KINDS) + ['exfat'], help='the file system of every seed')
    parser.add_argument('--fats', type=int, choices=[1, 2], help='the number of FATs of every FAT seed')
    parser.add_argument('--keep', metavar='DIR', help='keep the image, the record and the outputs here (one seed)')
    parser.add_argument('--json', metavar='OUT', help='append one JSON line per seed to OUT')
    parser.add_argument('--summary', nargs='+', metavar='JSONL', help='the totals of earlier runs, then stop')
    args = parser.parse_args(argv)
    if args.summary:
        if args.seeds or args.range:
            parser.error('--summary takes no seeds')
        results = []
        for path in args.summary:
            try:
                with open(path) as f:
                    results += [json.loads(line) for line in f if line.strip()]
            except (OSError, ValueError) as e:
                parser.error('%s: %s' % (path, e))
        summary(results)
        return 0
    seeds = args.seeds + (list(range(*args.range)) if args.range else [])
    if not seeds:
        parser.error('no seeds (give SEED... or --range A B)')
    if args.keep and len(seeds) != 1:
        parser.error('--keep takes one seed')
    if args.fs == 'exfat' and args.fats == 2:
        parser.error('exFAT volumes have one FAT here')
    if not os.access(salvex_program(), os.X_OK):
        parser.error('no salvex at %s (build it, or set SALVEX)' % salvex_program())
    # a stop must still unmount and detach what an exFAT seed made
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    results = []
    for seed in seeds:
        r = run_seed(seed, args.fs, args.fats, args.keep)
        results.append(r)
        if args.json:
            with open(args.json, 'a') as f:
                f.write(json.dumps(r, ensure_ascii=False) + '\n')
        print(seed_line(r), flush=True)
        for f in r.get('findings', []):
            if f['failing'] or len(seeds) == 1:
                print('    %s%s %s: %s' % ('' if f['failing'] else '(info) ', f['class'], f['path'], f['detail']),
                      flush=True)
    if len(seeds) > 1:
        summary(results)
    if any(failing(r) for r in results):
        return 1
    if any(r['status'] == 'harness-error' for r in results):
        return 3
    if all(r['status'] == 'skipped' for r in results):
        return SKIP_EXIT
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
