"""The spelling dictionary (main.dct), its suggestion buckets (bucket.bin)
and the thesaurus (thes.bin), built from the base words in
lexicon_words.py. All numbers are little-endian.

main.dct
    header (64 bytes): "VDCT", u16 version 3, u16 language 1033,
      u32 word count, u16 words per block, u16 block count,
      u32 block index offset, u32 word section offset,
      u32 autocorrect section offset, u32 autocorrect pair count,
      u32 checksum (sum of every byte after the header), 28-byte description
    block index: per block, u32 offset into the word section and the
      block's first word in 16 bytes (zero-padded, cut at 16)
    word section: per word, in dictionary order (case-blind, then lower
      case first), front-coded within a block:
      u8 letters shared with the previous word (0 first in a block),
      u8 length of the rest, the rest, u16 flags, u8 frequency class (1 is
      most common), u16 index of the base word, 6-byte sound key,
      u16 hyphenation mask (bit i: a break is allowed after letter i)
    autocorrect section: common misspellings in order, front-coded the
      same way, each with the u16 index of the word it stands for
    flags: bits 0-3 noun, verb, adjective, other; bit 4 capitalised;
      bit 5 screenwriting term; bits 8-11 the form (see FORMS)

bucket.bin (word lookup and suggestions within one edit)
    header (44 bytes): "VBKT", u16 version 2, u16 edit distance 1,
      u32 word count, u32 word buckets, u32 slip buckets, u32 slip entry
      count, u32 offsets of the word table, the word entries, the slip
      table and the slip entries, u32 checksum of everything after the
      header
    word table: word buckets + 1 u32 offsets into the word entries; bucket
      b runs from table[b] to table[b + 1]. A word is filed by the FNV-1a
      hash of its lower-case text: u8 length, the text, u16 word index.
    slip table and entries: the same for every one-letter deletion of the
      words of ten letters or more: u8 length, the shortened text, u16 word
      index, u8 position of the deleted letter. A misspelt word, or any of its one-letter deletions,
      finds its candidates there.

thes.bin
    header (32 bytes): "VTHS", u16 version 2, u16 language 1033,
      u32 headword count, u32 sense count, u32 index offset,
      u32 record offset, u32 checksum, 8 bytes zero
    index: per headword in dictionary order, u32 record offset
    record: headword (u8 length, letters), u8 sense count; per sense:
      u8 part of speech (1 noun, 2 verb, 3 adjective), u8 synonym count,
      the synonyms (u8 length, letters each), u8 antonym count, the
      antonyms
"""
import struct

import lexicon_words as words

NOUN, VERB, ADJECTIVE, OTHER, PROPER, TERM = 1, 2, 4, 8, 16, 32
FORMS = ["base", "plural", "third person", "past", "participle", "gerund", "comparative",
         "superlative", "adverb", "noun of quality", "repeated action"]
VOWELS = set("aeiou")

NO_ADVERB = set("""blue brown green grey orange purple red white yellow golden wooden
electric giant extra front upper main live old young tall fat big little elderly
absent afraid alive asleep chief current plenty spare senior united square single
blond double""".split())

NO_COMPARISON_ENDINGS = ("ous", "ful", "ive", "ic", "al", "ent", "ant", "ble", "ish",
                         "ed", "ing", "less", "est", "ar", "ern", "ic")

REPEATABLE = set("""write build open read fill load pack paint play print record
start tell turn visit arrange assure attach cover decorate discover enter examine join
locate name organise place produce shape store think appear arrange consider direct
edit heat marry model move number""".split())

STRESSED_LAST = set("""admit permit occur prefer regret omit refer control patrol compel
expel rebel commit equip submit transfer unzip""".split())


def syllables(word):
    count, previous = 0, False
    for ch in word:
        vowel = ch in VOWELS or ch == 'y'
        if vowel and not previous:
            count += 1
        previous = vowel
    if word.endswith('e') and count > 1 and not word.endswith(('le', 'ee')):
        count -= 1
    return max(count, 1)


def doubles_last(word):
    if len(word) < 3 or word[-1] in "wxy" or word[-1] in VOWELS:
        return False
    cvc = word[-2] in VOWELS and word[-3] not in VOWELS
    return cvc and (syllables(word) == 1 or word in STRESSED_LAST)


def with_s(word):
    if word.endswith(("s", "x", "z", "ch", "sh")):
        return word + "es"
    if word.endswith("y") and word[-2] not in VOWELS:
        return word[:-1] + "ies"
    if word in ("potato", "tomato", "hero", "echo", "veto"):
        return word + "es"
    return word + "s"


def with_ed(word):
    if word.endswith("e"):
        return word + "d"
    if word.endswith("y") and word[-2] not in VOWELS:
        return word[:-1] + "ied"
    if doubles_last(word):
        return word + word[-1] + "ed"
    return word + "ed"


def with_ing(word):
    if word.endswith("ie"):
        return word[:-2] + "ying"
    if word.endswith("e") and not word.endswith(("ee", "ye", "oe")):
        return word[:-1] + "ing"
    if doubles_last(word):
        return word + word[-1] + "ing"
    return word + "ing"


def compared(word):
    """Comparative and superlative, or None when the word takes more/most."""
    if word in NO_ADVERB and word not in ("old", "young", "tall", "fat", "big", "little",
                                           "red", "white", "blue", "green", "brown"):
        return None
    if syllables(word) > 2 or (syllables(word) == 2 and not word.endswith(("y", "le", "ow", "er"))):
        return None
    if word.endswith(NO_COMPARISON_ENDINGS) and syllables(word) > 1:
        return None
    if word.endswith("e"):
        return word + "r", word + "st"
    if word.endswith("y") and word[-2] not in VOWELS:
        return word[:-1] + "ier", word[:-1] + "iest"
    if doubles_last(word):
        return word + word[-1] + "er", word + word[-1] + "est"
    return word + "er", word + "est"


def adverb(word):
    if word in NO_ADVERB:
        return None
    if word == "true":
        return "truly"
    if word.endswith("ll"):
        return word + "y"
    if word.endswith("le") and word[-3] not in VOWELS:
        return word[:-1] + "y"
    if word.endswith("y") and word[-2] not in VOWELS:
        return word[:-1] + "ily"
    if word.endswith("ic"):
        return word + "ally"
    return word + "ly"


def quality(word):
    if word in NO_ADVERB:
        return None
    if word.endswith("y") and word[-2] not in VOWELS:
        return word[:-1] + "iness"
    return word + "ness"


def all_forms():
    """{word: (kind flags, form number, base word)}"""
    table = {}

    def add(word, kind, form, base):
        if word in table:
            old_kind, old_form, old_base = table[word]
            table[word] = (old_kind | kind, min(old_form, form), old_base)
        else:
            table[word] = (kind, form, base)

    for noun in words.NOUNS:
        add(noun, NOUN, 0, noun)
        add(with_s(noun), NOUN, 1, noun)
    pairs = words.IRREGULAR_NOUNS
    for singular, plural in zip(pairs[0::2], pairs[1::2]):
        add(singular, NOUN, 0, singular)
        add(plural, NOUN, 1, singular)
    for verb in words.VERBS:
        add(verb, VERB, 0, verb)
        add(with_s(verb), VERB, 2, verb)
        add(with_ed(verb), VERB, 3, verb)
        add(with_ing(verb), VERB, 5, verb)
        if verb in REPEATABLE:
            again = "re" + verb
            add(again, VERB, 10, verb)
            add(with_s(again), VERB, 10, verb)
            add(with_ed(again), VERB, 10, verb)
            add(with_ing(again), VERB, 10, verb)
    triples = words.IRREGULAR_VERBS
    for base, past, participle in zip(triples[0::3], triples[1::3], triples[2::3]):
        add(base, VERB, 0, base)
        if base != "be":
            add(with_s(base) if base not in ("do", "go") else base + "es", VERB, 2, base)
            add(with_ing(base), VERB, 5, base)
        add(past, VERB, 3, base)
        add(participle, VERB, 4, base)
    for extra, base in (("is", "be"), ("am", "be"), ("are", "be"), ("were", "be"),
                        ("being", "be"), ("has", "have"), ("had", "have"), ("have", "have"),
                        ("having", "have")):
        add(extra, VERB, 2 if extra in ("is", "has") else 0, base)
    for adjective in words.ADJECTIVES:
        add(adjective, ADJECTIVE, 0, adjective)
        comparison = compared(adjective)
        if comparison:
            add(comparison[0], ADJECTIVE, 6, adjective)
            add(comparison[1], ADJECTIVE, 7, adjective)
        for form, derived in ((8, adverb(adjective)), (9, quality(adjective))):
            if derived:
                add(derived, ADJECTIVE if form == 8 else NOUN, form, adjective)
    for other in words.OTHERS:
        add(other, OTHER, 0, other)
    for term in words.TERMS:
        add(term, OTHER | TERM, 0, term)
    for name in words.PROPER:
        add(name, NOUN | PROPER, 0, name)
    return table


def order_key(word):
    return (word.lower(), word)


def sound_key(word):
    """Six letters: the first letter, then consonant classes with vowels and
    repeats dropped (an extended soundex), padded with '0'."""
    classes = {}
    for group, digit in (("bfpv", "1"), ("cgjkqsxz", "2"), ("dt", "3"), ("l", "4"),
                         ("mn", "5"), ("r", "6")):
        for ch in group:
            classes[ch] = digit
    letters = [ch for ch in word.lower() if ch.isalpha()]
    if not letters:
        return b"000000"
    key, last = letters[0].upper(), classes.get(letters[0], "")
    for ch in letters[1:]:
        digit = classes.get(ch, "")
        if digit and digit != last:
            key += digit
        if ch not in "hw":
            last = digit
    return (key + "00000")[:6].encode("ascii")


def hyphenation(word):
    mask = 0
    w = word.lower()
    for i in range(1, min(len(w) - 2, 16)):
        a, b, c = w[i - 1], w[i], w[i + 1]
        if a in VOWELS and b not in VOWELS and c in VOWELS:
            mask |= 1 << (i - 1)          # vo-cal
        elif a not in VOWELS and b not in VOWELS and a != b and i >= 2 and w[i - 2] in VOWELS:
            mask |= 1 << (i - 1)          # let-ter, win-dow
        elif a == b and a not in VOWELS:
            mask |= 1 << (i - 1)
    return mask & 0xFFFF


def frequency(word, kind, form):
    if kind & OTHER:
        return 1 if len(word) <= 4 else 2
    score = 2 + min(len(word) // 3, 5) + (1 if form else 0)
    return min(score, 9)


def misspellings(word):
    """Likely typing slips of a word: neighbouring letters swapped, a
    doubled letter written once, a single one written twice, ie for ei."""
    result = []
    w = word
    if len(w) >= 5:
        middle = len(w) // 2
        result.append(w[:middle - 1] + w[middle] + w[middle - 1] + w[middle + 1:])
    for i in range(1, len(w)):
        if w[i] == w[i - 1] and w[i] not in VOWELS:
            result.append(w[:i] + w[i + 1:])
            break
    if "ie" in w:
        result.append(w.replace("ie", "ei", 1))
    elif "ei" in w:
        result.append(w.replace("ei", "ie", 1))
    if w.endswith("ly") and len(w) > 5:
        result.append(w[:-2] + "ley")
    return [m for m in result if m != w]


def front_coded(items, per_block=None):
    """items: (text, payload bytes). Returns (bytes, block starts)."""
    out = bytearray()
    starts = []
    previous = ""
    for number, (text, payload) in enumerate(items):
        if per_block is None or number % per_block == 0:
            if per_block is not None:
                starts.append((len(out), text))
            previous = ""
        shared = 0
        while (shared < len(previous) and shared < len(text) and shared < 255
               and previous[shared] == text[shared]):
            shared += 1
        rest = text[shared:].encode("cp1252")
        out += bytes([shared, len(rest)]) + rest + payload
        previous = text
    return bytes(out), starts


def dictionary():
    table = all_forms()
    ordered = sorted(table, key=order_key)
    index = {word: number for number, word in enumerate(ordered)}
    entries = []
    for word in ordered:
        kind, form, base = table[word]
        flags = (kind & 0x3F) | (form << 8)
        payload = struct.pack("<HBH", flags, frequency(word, kind, form), index[base])
        payload += sound_key(word) + struct.pack("<H", hyphenation(word))
        entries.append((word, payload))
    per_block = 32
    section, starts = front_coded(entries, per_block)

    known = set(w.lower() for w in ordered)
    slips = {}
    for word in ordered:
        # Slips are listed for base words and plurals; the checker's
        # buckets find the rest.
        if table[word][0] & (PROPER | TERM) or len(word) < 4 or table[word][1] > 1:
            continue
        for slip in misspellings(word):
            if slip not in known and slip not in slips:
                slips[slip] = index[word]
    pairs = [(slip, struct.pack("<H", slips[slip])) for slip in sorted(slips)]
    autocorrect, _ = front_coded(pairs)

    block_index = b"".join(struct.pack("<I", offset) + first.encode("cp1252")[:16].ljust(16, b"\0")
                           for offset, first in starts)
    header_size = 64
    index_offset = header_size
    words_offset = index_offset + len(block_index)
    slips_offset = words_offset + len(section)
    body = block_index + section + autocorrect
    header = b"VDCT" + struct.pack("<HHIHHIIIII", 3, 1033, len(ordered), per_block, len(starts),
                                   index_offset, words_offset, slips_offset, len(pairs),
                                   sum(body) & 0xFFFFFFFF)
    header += b"English (US) main dictionary".ljust(header_size - len(header), b"\0")
    assert len(header) == header_size
    return header + body, ordered


def fnv1a(text):
    h = 0x811C9DC5
    for byte in text.encode("cp1252"):
        h = ((h ^ byte) * 0x01000193) & 0xFFFFFFFF
    return h


def hash_table(items, bucket_count):
    """items: (key text, entry bytes). Returns (table, entries): the table
    holds bucket_count + 1 u32 offsets into entries."""
    filed = [[] for _ in range(bucket_count)]
    for key, entry in items:
        filed[fnv1a(key) % bucket_count].append(entry)
    table = bytearray()
    entries = bytearray()
    for bucket in filed:
        table += struct.pack("<I", len(entries))
        entries += b"".join(bucket)
    table += struct.pack("<I", len(entries))
    return bytes(table), bytes(entries)


def buckets(ordered, word_buckets=4096, slip_buckets=4096, shortest=10):
    words = []
    slips = []
    for number, word in enumerate(ordered):
        w = word.lower()
        raw = w.encode("cp1252")
        words.append((w, bytes([len(raw)]) + raw + struct.pack("<H", number)))
        if len(w) < shortest:
            continue
        seen = set()
        for i in range(len(w)):
            shorter = w[:i] + w[i + 1:]
            if shorter not in seen:
                seen.add(shorter)
                key = shorter.encode("cp1252")
                slips.append((shorter, bytes([len(key)]) + key + struct.pack("<HB", number, i)))
    word_table, word_entries = hash_table(words, word_buckets)
    slip_table, slip_entries = hash_table(slips, slip_buckets)
    header_size = 44
    offsets = [header_size]
    for part in (word_table, word_entries, slip_table):
        offsets.append(offsets[-1] + len(part))
    body = word_table + word_entries + slip_table + slip_entries
    header = b"VBKT" + struct.pack("<HHIIIIIIIII", 2, 1, len(ordered), word_buckets, slip_buckets,
                                   len(slips), offsets[0], offsets[1], offsets[2], offsets[3],
                                   sum(body) & 0xFFFFFFFF)
    assert len(header) == header_size
    return header + body


ANTONYMS = [("happy", "sad"), ("big", "small"), ("fast", "slow"), ("quiet", "loud"),
            ("old", "new"), ("good", "bad"), ("brave", "afraid"), ("clever", "stupid"),
            ("beautiful", "ugly"), ("rich", "poor"), ("hard", "easy"), ("kind", "cruel"),
            ("dark", "bright"), ("dirty", "clean"), ("true", "wrong"), ("friend", "enemy"),
            ("silence", "noise"), ("start", "end"), ("light", "dark"), ("begin", "end"),
            ("like", "hate"), ("ruin", "fix"), ("arrive", "leave"), ("pull", "push"),
            ("laugh", "cry"), ("joy", "anger"), ("help", "threat")]


def thesaurus():
    table = all_forms()
    groups = []
    for line in words.SYNONYMS:
        kind, members = line.split(":")
        groups.append(({"n": 1, "v": 2, "a": 3}[kind], members.split()))
    opposite = {}
    pairs = words.ANTONYM_PAIRS
    for a, b in ANTONYMS + list(zip(pairs[0::2], pairs[1::2])):
        opposite.setdefault(a, []).append(b)
        opposite.setdefault(b, []).append(a)

    def inflect(word, part, form):
        """The same form of another word of the same kind, when it exists."""
        if part == 1 and form == 1:
            candidate = with_s(word)
        elif part == 2 and form in (2, 3, 5):
            candidate = {2: with_s, 3: with_ed, 5: with_ing}[form](word)
        elif part == 3 and form in (6, 7):
            comparison = compared(word)
            candidate = comparison[form - 6] if comparison else None
        elif part == 3 and form == 8:
            candidate = adverb(word)
        elif part == 3 and form == 9:
            candidate = quality(word)
        else:
            candidate = word if form == 0 else None
        return candidate if candidate in table else None

    senses = {}
    for part, members in groups:
        for form in range(0, 10):
            row = [inflect(m, part, form) for m in members]
            for i, head in enumerate(row):
                if head is None:
                    continue
                synonyms = [w for j, w in enumerate(row) if w and j != i]
                if not synonyms:
                    continue
                antonyms = [x for a in opposite.get(members[i], [])
                            for x in [inflect(a, part, form)] if x]
                senses.setdefault(head, []).append((part, synonyms, antonyms))

    def text(word):
        raw = word.encode("cp1252")
        return bytes([len(raw)]) + raw

    heads = sorted(senses, key=order_key)
    records = bytearray()
    offsets = []
    sense_count = 0
    for head in heads:
        offsets.append(len(records))
        records += text(head) + bytes([len(senses[head])])
        for part, synonyms, antonyms in senses[head]:
            records += bytes([part, len(synonyms)]) + b"".join(text(w) for w in synonyms)
            records += bytes([len(antonyms)]) + b"".join(text(w) for w in antonyms)
            sense_count += 1
    index = b"".join(struct.pack("<I", offset) for offset in offsets)
    header_size = 32
    body = index + bytes(records)
    header = b"VTHS" + struct.pack("<HHIIIII", 2, 1033, len(heads), sense_count, header_size,
                                   header_size + len(index), sum(body) & 0xFFFFFFFF)
    header = header.ljust(header_size, b"\0")
    return header + body
