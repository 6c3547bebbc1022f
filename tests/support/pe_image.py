"""Reading PE images in the test scripts: headers, sections, import tables and resources, over
untrusted bytes (every read is bounds-checked; a damaged image raises Damaged)."""
import os
import struct

DIRECTORY_IMPORT = 1
DIRECTORY_RESOURCE = 2
DIRECTORY_DELAY_IMPORT = 13


class Damaged(Exception):
    """The bytes are not the PE image they claim to be."""


class Image:
    """A PE image over untrusted bytes: every read is bounds-checked first."""

    def __init__(self, data):
        self.data = data
        if self.u16(0) != 0x5A4D:
            raise Damaged("no MZ header")
        pe = self.u32(0x3C)
        if self.u32(pe) != 0x00004550:
            raise Damaged("no PE signature")
        sections = self.u16(pe + 6)
        optional_size = self.u16(pe + 20)
        self.optional = pe + 24
        magic = self.u16(self.optional)
        if magic == 0x10B:
            self.thunk_size, directories_at = 4, self.optional + 96
            self.image_base = self.u32(self.optional + 28)
        elif magic == 0x20B:
            self.thunk_size, directories_at = 8, self.optional + 112
            self.image_base = struct.unpack("<Q", self.read(self.optional + 24, 8))[0]
        else:
            raise Damaged("unknown optional header 0x%x" % magic)
        self.subsystem_version = (self.u16(self.optional + 48), self.u16(self.optional + 50))
        symbols, symbol_count = self.u32(pe + 12), self.u32(pe + 16)
        count = min(self.u32(directories_at - 4), 16)
        self.directories = [
            (self.u32(directories_at + 8 * i), self.u32(directories_at + 8 * i + 4))
            for i in range(count)
        ]
        self.sections = []
        self.section_names = []
        table = self.optional + optional_size
        for i in range(sections):
            entry = table + 40 * i
            self.section_names.append(self.section_name(self.read(entry, 8), symbols, symbol_count))
            virtual_size, virtual_address, raw_size, raw_offset = struct.unpack_from(
                "<IIII", self.read(entry + 8, 16))
            self.sections.append((virtual_address, max(virtual_size, raw_size), raw_offset,
                                  raw_size))

    def section_name(self, raw, symbols, symbol_count):
        name = raw.rstrip(b"\0").decode("latin-1")
        # Names longer than eight bytes ("/4") live in the COFF string table after the symbols.
        if name.startswith("/") and name[1:].isdigit() and symbols:
            start = symbols + 18 * symbol_count + int(name[1:])
            end = self.data.find(b"\0", start, start + 256)
            if start > len(self.data) or end < 0:
                raise Damaged("section name outside the string table")
            name = self.data[start:end].decode("latin-1")
        return name

    def read(self, offset, length):
        if offset < 0 or length < 0 or length > len(self.data) or offset > len(self.data) - length:
            raise Damaged("read of %d bytes at 0x%x outside the file" % (length, offset))
        return self.data[offset:offset + length]

    def u16(self, offset):
        return struct.unpack("<H", self.read(offset, 2))[0]

    def u32(self, offset):
        return struct.unpack("<I", self.read(offset, 4))[0]

    def thunk(self, offset):
        return struct.unpack("<Q" if self.thunk_size == 8 else "<I",
                             self.read(offset, self.thunk_size))[0]

    def offset_of(self, rva):
        for virtual_address, size, raw_offset, raw_size in self.sections:
            if virtual_address <= rva < virtual_address + size:
                if rva - virtual_address >= raw_size:
                    raise Damaged("RVA 0x%x has no bytes in the file" % rva)
                return raw_offset + rva - virtual_address
        raise Damaged("RVA 0x%x is in no section" % rva)

    def string(self, rva, limit=512):
        offset = self.offset_of(rva)
        end = self.data.find(b"\0", offset, offset + limit)
        if end < 0:
            raise Damaged("unterminated name at RVA 0x%x" % rva)
        return self.data[offset:end].decode("ascii", "replace")

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def imports(self):
        """Yields (dll, name or None, ordinal or None, how) for each imported function."""
        tables = (
            (DIRECTORY_IMPORT, 20, 12, (0, 16), "import"),
            # Delay-load descriptors (32 bytes): name at 4, name table at 16, address table at 12.
            (DIRECTORY_DELAY_IMPORT, 32, 4, (16, 12), "delay import"),
        )
        for index, size, name_at, thunk_fields, how in tables:
            rva, _ = self.directory(index)
            if rva == 0:
                continue
            descriptor = self.offset_of(rva)
            for _ in range(4096):
                fields = self.read(descriptor, size)
                if fields == bytes(size):
                    break
                # Old-style delay-load descriptors (attributes 0) hold addresses, not RVAs.
                base = 0
                if index == DIRECTORY_DELAY_IMPORT and struct.unpack_from("<I", fields)[0] & 1 == 0:
                    base = self.image_base
                dll = self.string(struct.unpack_from("<I", fields, name_at)[0] - base)
                names_rva = struct.unpack_from("<I", fields, thunk_fields[0])[0]
                if names_rva == 0:
                    names_rva = struct.unpack_from("<I", fields, thunk_fields[1])[0]
                yield from self.thunks(dll, names_rva - base, how, base)
                descriptor += size
            else:
                raise Damaged("import table without end")

    def thunks(self, dll, rva, how, base=0):
        ordinal_flag = 1 << (self.thunk_size * 8 - 1)
        offset = self.offset_of(rva)
        for _ in range(65536):
            value = self.thunk(offset)
            if value == 0:
                return
            if value & ordinal_flag:
                yield dll, None, value & 0xFFFF, how
            else:
                yield dll, self.string(((value - base) & 0x7FFFFFFF) + 2), None, how
            offset += self.thunk_size
        raise Damaged("thunk table of %s without end" % dll)

    def resource(self, kind, identifier):
        """The bytes of resource kind/identifier (first language), or None. kind and identifier
        are numbers or names."""
        root_rva, _ = self.directory(DIRECTORY_RESOURCE)
        if root_rva == 0:
            return None
        root = self.offset_of(root_rva)

        def entries(directory):
            named, numbered = struct.unpack_from("<HH", self.read(directory + 12, 4))
            for i in range(named + numbered):
                key, target = struct.unpack_from("<II", self.read(directory + 16 + 8 * i, 8))
                if key & 0x80000000:
                    at = root + (key & 0x7FFFFFFF)
                    length = self.u16(at)
                    key = self.read(at + 2, 2 * length).decode("utf-16-le", "replace").upper()
                yield key, target

        def find(directory, wanted):
            if isinstance(wanted, str):
                wanted = wanted.upper()
            for key, target in entries(directory):
                if key == wanted:
                    return target
            return None

        level = find(root, kind)
        if level is None or not level & 0x80000000:
            return None
        level = find(root + (level & 0x7FFFFFFF), identifier)
        if level is None or not level & 0x80000000:
            return None
        languages = list(entries(root + (level & 0x7FFFFFFF)))
        if not languages or languages[0][1] & 0x80000000:
            return None
        data_rva, size = struct.unpack_from("<II", self.read(root + languages[0][1], 8))
        return self.read(self.offset_of(data_rva), size)


# The program carries the reporter's two binaries as resources scrambled with this key.
EMBEDDED_XOR_KEY = 0x6B


def parse_embedded(parser, specs):
    """The --embedded <type>/<id>=<name> arguments as (type, id, name) triples."""
    embedded = []
    for spec in specs:
        try:
            where, name = spec.split("=", 1)
            type_name, identifier = where.split("/", 1)
            embedded.append((type_name, int(identifier), name))
        except ValueError:
            parser.error("--embedded takes <type>/<id>=<name>, not %s" % spec)
    return embedded


def shipped_images(paths, embedded):
    """Each binary and each of its embedded resources, unscrambled, as (label, name, data), and
    the problems met on the way (a damaged image, a missing resource)."""
    images, problems = [], []
    for path in paths:
        with open(path, "rb") as binary:
            data = binary.read()
        label = os.path.basename(path)
        images.append((label, label, data))
        for type_name, identifier, name in embedded:
            try:
                blob = Image(data).resource(type_name, identifier)
            except Damaged as damage:
                blob, problems = None, problems + ["%s: damaged image: %s" % (label, damage)]
            if blob is None:
                problems.append("%s: no resource %s/%d (%s)" % (label, type_name, identifier, name))
                continue
            images.append(("%s in %s" % (name, label), name,
                           bytes(b ^ EMBEDDED_XOR_KEY for b in blob)))
    return images, problems
