"""A writer of WinHelp 3.1 files (.hlp), uncompressed, for the Veltranox
help. The file is the WinHelp internal file system: a 16-byte header, the
internal files each behind a 9-byte file header, and the directory, a B+
tree of file names. The internal files written are |SYSTEM (version 3.1,
title, copyright, contents topic, start-up macro), |FONT, |TOPIC (4 kB
topic blocks of topic links: a topic header per topic, then one text
record per paragraph) and |CONTEXT (a B+ tree from context-string hashes to
topic offsets). All numbers are little-endian."""
import struct

BLOCK = 4096           # topic block, 12-byte header included
BLOCK_DATA = BLOCK - 12
NONE = 0xFFFFFFFF


def context_hash(name):
    value = 0
    for ch in name:
        x = 0
        if 'A' <= ch <= 'Z':
            x = ord(ch) - ord('A') + 17
        elif 'a' <= ch <= 'z':
            x = ord(ch) - ord('a') + 17
        elif '1' <= ch <= '9':
            x = ord(ch) - ord('0')
        elif ch == '0':
            x = 10
        elif ch == '.':
            x = 12
        elif ch == '_':
            x = 13
        if x:
            value = (value * 43 + x) & 0xFFFFFFFF
    return value - (1 << 32) if value & 0x80000000 else value


def compressed_long(value):
    return struct.pack("<H", value * 2 + 0x8000) if value < 0x4000 else \
        struct.pack("<I", value * 2 + 0x80000001)


def compressed_ushort(value):
    return bytes([value * 2]) if value < 0x80 else struct.pack("<H", value * 2 + 1)


def compressed_short(value):
    return bytes([value * 2 + 0x80]) if -0x40 <= value < 0x40 else \
        struct.pack("<H", value * 2 + 0x8001)


def internal_file(data, flags=4):
    return struct.pack("<IIB", len(data) + 9, len(data), flags) + data


def btree(entries, structure, page_size, directory=False):
    """A one-level B+ tree (a single leaf page) of already encoded,
    already ordered entries."""
    page = struct.pack("<hhhh", 0, len(entries), -1, -1) + b"".join(entries)
    assert len(page) <= page_size, "B+ tree page overflow"
    free = page_size - len(page)
    page = struct.pack("<H", free) + page[2:] + bytes(free)
    header = struct.pack("<HHH16shhhhhhi", 0x293B, 0x0402 if directory else 0x0002, page_size,
                         structure.encode("ascii"), 0, 0, 0, -1, 1, 1, len(entries))
    return header + page


class Paragraph:
    """One paragraph: a font, optional spacing and indent, and runs of
    text; a run may be a jump to another topic's context string."""

    def __init__(self, font, runs, above=0, indent=0, centred=False):
        self.font, self.runs, self.above, self.indent = font, runs, above, indent
        self.centred = centred

    def record(self):
        bits = 0
        params = b""
        if self.above:
            bits |= 0x0002
            params += compressed_short(self.above)
        if self.indent:
            bits |= 0x0010
            params += compressed_short(self.indent)
        if self.centred:
            bits |= 0x0800
        commands = bytes([0x80]) + struct.pack("<H", self.font)
        texts = [b""]
        current = b""
        length = 0
        for run in self.runs:
            if isinstance(run, tuple):          # (text, context string): a jump
                text, target = run
                texts.append(current)
                commands += bytes([0xE3]) + struct.pack("<i", context_hash(target))
                current = text.encode("cp1252")
                texts.append(current)
                commands += bytes([0x89])
                current = b""
                length += len(text)
            else:
                current += run.encode("cp1252")
                length += len(run)
        texts.append(current)
        commands += bytes([0x82])
        texts.append(b"")
        commands += bytes([0xFF])
        length += 1                              # the paragraph end counts as a character
        text = b"".join(t + b"\0" for t in texts)
        data1 = compressed_long(len(text)) + compressed_ushort(length) + bytes([0, 0x80, 0, 0])
        data1 += struct.pack("<H", bits) + params + commands
        return 0x20, data1, text, length


class Topic:
    def __init__(self, context, title, paragraphs, keywords=()):
        self.context, self.title, self.paragraphs = context, title, paragraphs
        self.keywords = keywords


def build(title, copyright_text, fonts, topics, macros=()):
    """fonts: (face, half points, family 1..5, bold). Returns the file."""
    # Lay out the topic links; a link may run across a block boundary.
    links = []          # [record type, data1, data2, length, topic index]
    for number, topic in enumerate(topics):
        links.append([0x02, None, topic.title.encode("cp1252") + b"\0", 0, number])
        for paragraph in topic.paragraphs:
            kind, data1, data2, length = paragraph.record()
            links.append([kind, data1, data2, length, number])

    def size_of(link):
        data1 = link[1] if link[1] is not None else bytes(28)
        return 21 + len(data1) + len(link[2])

    # Positions: TOPICPOS = block << 14 | (12 + offset in the block's data).
    positions = []
    offset = 0                                   # in the concatenated block data
    for link in links:
        if BLOCK_DATA - offset % BLOCK_DATA < 21:  # keep every link header in one block
            offset += BLOCK_DATA - offset % BLOCK_DATA
        positions.append(offset)
        offset += size_of(link)
    total = offset

    def topicpos(data_offset):
        return ((data_offset // BLOCK_DATA) << 14) + 12 + data_offset % BLOCK_DATA

    # Topic offsets: block << 15 plus the characters of the text records
    # before the topic header in its block.
    topic_offsets = []
    characters, block = 0, -1
    for link, position in zip(links, positions):
        if position // BLOCK_DATA != block:
            block, characters = position // BLOCK_DATA, 0
        if link[0] == 0x02:
            topic_offsets.append((block << 15) + characters)
        else:
            characters += link[3]

    firsts = {}
    for index, link in enumerate(links):
        if link[0] == 0x02:
            firsts.setdefault(link[4], index)
    for index, link in enumerate(links):
        if link[0] != 0x02:
            continue
        number = link[4]
        scroll = topicpos(positions[index + 1]) if index + 1 < len(links) and \
            links[index + 1][4] == number else NONE
        following = [i for i in range(index + 1, len(links)) if links[i][0] == 0x02]
        next_topic = topicpos(positions[following[0]]) if following else NONE
        end = positions[following[0]] if following else total
        link[1] = struct.pack("<IIIIIII", end - positions[index],
                              topic_offsets[number - 1] if number else NONE,
                              topic_offsets[number + 1] if number + 1 < len(topics) else NONE,
                              number, NONE, scroll, next_topic)

    data = bytearray(total)
    for index, (link, position) in enumerate(zip(links, positions)):
        data1 = link[1]
        previous = topicpos(positions[index - 1]) if index else NONE
        following = topicpos(positions[index + 1]) if index + 1 < len(links) else NONE
        block_size = 21 + len(data1) + len(link[2])
        record = struct.pack("<IIIIIB", block_size, len(link[2]), previous, following,
                             21 + len(data1), link[0]) + data1 + link[2]
        data[position:position + len(record)] = record

    # Cut into blocks, each behind its header, the last one padded whole.
    blocks = (total + BLOCK_DATA - 1) // BLOCK_DATA
    topic_file = bytearray()
    for number in range(blocks):
        starts = [i for i, p in enumerate(positions) if p // BLOCK_DATA == number]
        earlier = [i for i, p in enumerate(positions) if p // BLOCK_DATA < number]
        headers = [i for i in range(len(links)) if links[i][0] == 0x02 and
                   positions[i] // BLOCK_DATA <= number]
        header = struct.pack("<III",
                             topicpos(positions[earlier[-1]]) if earlier else NONE,
                             topicpos(positions[starts[0]]) if starts else NONE,
                             topicpos(positions[headers[-1]]) if headers else NONE)
        chunk = bytes(data[number * BLOCK_DATA:(number + 1) * BLOCK_DATA])
        topic_file += header + chunk.ljust(BLOCK_DATA, b"\0")

    system = struct.pack("<HHHIH", 0x036C, 21, 1, 1047600000, 0)   # 3.1, uncompressed
    records = [(1, title.encode("cp1252") + b"\0"),
               (2, copyright_text.encode("cp1252") + b"\0"),
               (3, struct.pack("<I", topic_offsets[0]))]
    records += [(4, m.encode("cp1252") + b"\0") for m in macros]
    for kind, payload in records:
        system += struct.pack("<HH", kind, len(payload)) + payload

    face_names = sorted(set(face for face, _, _, _ in fonts))
    face_size = 20
    faces = b"".join(face.encode("ascii").ljust(face_size, b"\0") for face in face_names)
    descriptors = b"".join(struct.pack("<BBBH3s3s", 1 if bold else 0, half_points, family,
                                       face_names.index(face), b"\0\0\0", b"\xff\xff\xff")
                           for face, half_points, family, bold in fonts)
    font = struct.pack("<HHHH", len(face_names), len(fonts), 8, 8 + len(faces)) + faces + \
        descriptors

    contexts = sorted((context_hash(t.context), topic_offsets[i]) for i, t in enumerate(topics))
    context = btree([struct.pack("<iI", h, o) for h, o in contexts], "L4", 2048)

    files = {"|CONTEXT": internal_file(context), "|FONT": internal_file(font),
             "|SYSTEM": internal_file(system), "|TOPIC": internal_file(bytes(topic_file))}
    body = bytearray()
    offsets = {}
    for name in sorted(files):
        offsets[name] = 16 + len(body)
        body += files[name]
    directory_offset = 16 + len(body)
    entries = [name.encode("ascii") + b"\0" + struct.pack("<I", offsets[name])
               for name in sorted(files)]
    body += internal_file(btree(entries, "z4", 1024, directory=True))
    header = struct.pack("<IIiI", 0x00035F3F, directory_offset, -1, 16 + len(body))
    return header + bytes(body)
