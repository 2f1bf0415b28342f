#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QList>

#include <cstring>

// PE32 module images as the loader leaves them in memory, built for tests
// and benchmarks of the import walk.
namespace Pe32Image {

struct Import {
    QByteArray name;  // empty: by ordinal
    quint16 ordinal = 0;
};
struct Descriptor {
    QList<Import> imports;
    bool noLookup = false; // the lookup field is 0; names are in the address table
};

struct Pe32 {
    QByteArray bytes;
    quint32 importDirectory = 0;
    QList<quint32> descriptorAt;  // offset of each descriptor
    QList<QList<quint32>> slotAt; // [descriptor][import] offset of the address-table slot
    QList<QList<quint32>> entryAt; // [descriptor][import] offset of the lookup entry
    QList<QList<quint32>> nameAt; // [descriptor][import] offset of the hint/name entry
};

inline void put32(QByteArray &b, quint32 at, quint32 v)
{
    if (b.size() < qsizetype(at) + 4)
        b.resize(at + 4, '\0');
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xff);
}
inline void put16(QByteArray &b, quint32 at, quint16 v)
{
    if (b.size() < qsizetype(at) + 2)
        b.resize(at + 2, '\0');
    b[at] = char(v & 0xff);
    b[at + 1] = char(v >> 8);
}

// Lays a module out as the loader leaves it: DOS header, NT headers with the
// import entry of the data directory, the descriptors, then per descriptor
// its lookup table, its address table (bound: real addresses) and its names.
inline Pe32 buildPe32(const QList<Descriptor> &descriptors, quint16 magic = 0x10B)
{
    Pe32 pe;
    QByteArray &b = pe.bytes;
    b.resize(0x200, '\0');
    b[0] = 'M';
    b[1] = 'Z';
    const quint32 nt = 0x80;
    put32(b, 0x3C, nt);
    put32(b, nt, 0x00004550);
    put16(b, nt + 4, 0x14C); // i386
    put16(b, nt + 24, magic);
    pe.importDirectory = 0x200;
    put32(b, nt + 128, pe.importDirectory);
    put32(b, nt + 132, quint32(descriptors.size() + 1) * 20);

    quint32 at = pe.importDirectory + quint32(descriptors.size() + 1) * 20;
    b.resize(at, '\0');
    for (int d = 0; d < descriptors.size(); ++d) {
        const auto &imports = descriptors[d].imports;
        const quint32 desc = pe.importDirectory + 20 * d;
        const quint32 lookup = at;
        const quint32 iat = lookup + 4 * quint32(imports.size() + 1);
        quint32 names = iat + 4 * quint32(imports.size() + 1);
        const quint32 library = names;
        const QByteArray libName = "LIB" + QByteArray::number(d) + ".dll";
        b.resize(library + libName.size() + 1, '\0');
        std::memcpy(b.data() + library, libName.constData(), libName.size());
        names = library + libName.size() + 2;
        pe.descriptorAt << desc;
        put32(b, desc, descriptors[d].noLookup ? 0 : lookup);
        put32(b, desc + 12, library);
        put32(b, desc + 16, iat);
        QList<quint32> slotOffsets, entries, nameOffsets;
        for (int i = 0; i < imports.size(); ++i) {
            quint32 entry;
            if (imports[i].name.isEmpty()) {
                entry = 0x80000000u | imports[i].ordinal;
                nameOffsets << 0;
            } else {
                entry = names;
                nameOffsets << names;
                put16(b, names, quint16(i)); // hint
                b.resize(names + 2 + imports[i].name.size() + 1, '\0');
                std::memcpy(b.data() + names + 2, imports[i].name.constData(), imports[i].name.size());
                names += 2 + quint32(imports[i].name.size()) + 2;
            }
            if (!descriptors[d].noLookup)
                put32(b, lookup + 4 * i, entry);
            // A bound table holds addresses; an unbound one (the only kind a
            // descriptor without lookup table can be read by) holds the entries.
            put32(b, iat + 4 * i, descriptors[d].noLookup ? entry : 0x77A10000u + 16 * i);
            slotOffsets << iat + 4 * i;
            entries << (descriptors[d].noLookup ? iat : lookup) + 4 * i;
        }
        pe.slotAt << slotOffsets;
        pe.entryAt << entries;
        pe.nameAt << nameOffsets;
        at = (names + 3) & ~3u;
        b.resize(at, '\0');
    }
    b.resize(b.size() + 64, '\0'); // some trailing section data
    return pe;
}

} // namespace Pe32Image
