#!/usr/bin/python3
"""Generates src/dicom/dicom_dictionary_data.cpp, the constant tables of the
DICOM subsystem, from the DICOM data dictionary (PS3.6) that Debian's
python3-pydicom ships (pydicom/_dicom_dict.py, _private_dict.py, _uid_dict.py).

The generated source is committed; building the program never runs this
script. Run it again only to move to a newer edition of the dictionary:

    /usr/bin/python3 tools/gen_dicom_dictionary.py [OUTPUT]

Tables written:
  DicomDictionary      every public element, the group-length rows of the
                       older groups, the "?" rows of the vendor groups and a
                       few legacy rows, sorted by group << 16 | element, with
                       the (FFFF,FFFF) sentinel last.
  VrRangeTable         every sequence element (VR SQ) with its keyword: the
                       repeating-group rows first, then the single tags by
                       ascending tag, then the terminator (FFFF, UN,
                       "Unknown"). dicom_private's fast path relies on this
                       order.
  TransferSyntaxTable  the 22 transfer syntaxes the reader and the image
                       extraction know.
"""

import os
import sys

from pydicom import __version__ as PYDICOM_VERSION
from pydicom._dicom_dict import DicomDictionary, RepeatersDictionary
from pydicom._private_dict import private_dictionaries
from pydicom._uid_dict import UID_dictionary

DEFAULT_OUTPUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src", "dicom",
                              "dicom_dictionary_data.cpp")

# The group-length row (gggg,0000) of the groups that ACR-NEMA and the first
# DICOM editions named; newer groups have no such row. The information list
# shows these names as headings.
GROUP_NAMES = {
    0x0000: "Group Length",
    0x0002: "Meta Element Group",
    0x0004: "Directory Group",
    0x0008: "Identifying Group",
    0x0010: "Patient Group",
    0x0018: "Acquisition Group",
    0x0020: "Relationship Group",
    0x0028: "Image Presentation Group",
    0x0032: "Study Group",
    0x0038: "Visit Group",
    0x0050: "Calibration Group",
    0x0054: "Nuclear Acquisition Group",
    0x0088: "Storage Group",
    0x2000: "Film Session Group",
    0x2010: "Film Box Group",
    0x2020: "Image Box Group",
    0x2030: "Annotation Group",
    0x2040: "Overlay Box Group",
    0x2050: "Presentation LUT Group",
    0x2100: "Print Job Group",
    0x2110: "Printer Group",
    0x2120: "Queue Group",
    0x2130: "Print Content Group",
    0x4000: "Text Group",
    0x4008: "Results Group",
    0x7FE0: "Pixel Data Group",
}
# Curves and overlays repeat over the even groups 5000-501E and 6000-601E;
# each instance gets its rows and its group-length row.
REPEATING_GROUP_NAMES = {0x50: "Curve Group", 0x60: "Overlay Group"}

# Vendor groups whose elements are known but never shown: GE's Genesis
# private dictionaries (block 10), GE Xeleris (0033) and Toshiba CT (7FF1).
# Each gets its creator row (gggg,0010) and its elements (gggg,10xx), all
# named "?".
VENDOR_CREATORS = [
    "GEMS_IDEN_01", "GEMS_ACQU_01", "GEMS_RELA_01", "GEMS_STDY_01", "GEMS_SERS_01",
    "GEMS_IMAG_01", "GEMS_IMPS_01", "GEMS_PARM_01", "GEMS_XELPRV_01", "TOSHIBA_MEC_CT_1.0",
]
VENDOR_BLOCK = 0x10

# Rows that are known but not shown although the current edition names them.
HIDDEN_ROWS = {
    (0x0003, 0x0000): "UL",
    (0x0005, 0x0000): "UL",
    (0x0006, 0x0000): "UL",
    (0x0028, 0x0400): None,
    (0x0028, 0x0401): None,
    (0x0028, 0x0402): None,
    (0x0028, 0x0403): None,
}

# Vendor rows that older viewers named and that files still carry.
LEGACY_ROWS = {
    (0x0019, 0x0033): ("UN", "ECG 2 Offset 2"),
    (0x7000, 0x0004): ("ST", "TextAnnotation"),
    (0x7001, 0x0010): ("LO", "Dummy"),
}

# Names that this program has always shown in its own words.
RENAMED = {
    (0x0010, 0x0020): "Patient's ID",
}

# Rows the program depends on; the script stops when one comes out otherwise.
TELLING_ROWS = [
    (0x0000, 0x0000, "UL", "Group Length"),
    (0x0002, 0x0000, "UL", "Meta Element Group"),
    (0x0002, 0x0010, "UI", "Transfer Syntax UID"),
    (0x0009, 0x0010, "xs", "?"),
    (0x0010, 0x0000, "UL", "Patient Group"),
    (0x0010, 0x0010, "PN", "Patient's Name"),
    (0x0010, 0x0020, "LO", "Patient's ID"),
    (0x0010, 0x21B0, "LT", "Additional Patient History"),
    (0x0019, 0x0033, "UN", "ECG 2 Offset 2"),
    (0x0028, 0x0000, "UL", "Image Presentation Group"),
    (0x0028, 0x0004, "CS", "Photometric Interpretation"),
    (0x0028, 0x0010, "US", "Rows"),
    (0x0028, 0x0400, "LO", "?"),
    (0x0028, 0x1050, "DS", "Window Center"),
    (0x0028, 0x1055, "LO", "Window Center & Width Explanation"),
    (0x0028, 0x1201, "OW", "Red Palette Color Lookup Table Data"),
    (0x7000, 0x0004, "ST", "TextAnnotation"),
    (0x7001, 0x0010, "LO", "Dummy"),
    (0x7FE0, 0x0000, "UL", "Pixel Data Group"),
    (0x7FE0, 0x0010, "xs", "Pixel Data"),
    (0xFFFC, 0xFFFC, "OB", "Data Set Trailing Padding"),
    (0xFFFE, 0xE000, "xs", "Item"),
    (0xFFFE, 0xE00D, "xs", "Item Delimitation Item"),
    (0xFFFE, 0xE0DD, "xs", "Sequence Delimitation Item"),
    (0xFFFF, 0xFFFF, "xs", ""),
]

TRANSFER_SYNTAXES = (
    [("1.2.840.10008.1.2", "ImplicitVrLittleEndian"),
     ("1.2.840.10008.1.2.1", "ExplicitVrLittleEndian"),
     ("1.2.840.10008.1.2.2", "ExplicitVrBigEndian")]
    + [("1.2.840.10008.1.2.4.%d" % n, "JpegProcess") for n in range(50, 67)]
    + [("1.2.840.10008.1.2.4.70", "JpegLossless"),
       ("1.2.840.10008.1.2.5", "RleLossless")])


def dictionary_vr(vr):
    """Two letters for the table: alternatives ("US or SS", "OB or OW") and
    the item tags' "NONE" become "xs"."""
    if len(vr) == 2 and vr.isalpha():
        return vr
    return "xs"


def c_string(text):
    for ch in text:
        if not " " <= ch <= "~":
            sys.exit("non-ASCII character in %r" % text)
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def build_dictionary():
    rows = {}  # (group, element) -> (vr, name)

    for tag, (vr, _vm, name, _retired, _keyword) in DicomDictionary.items():
        rows[(tag >> 16, tag & 0xFFFF)] = (dictionary_vr(vr), name)

    # Exact entries take precedence over a repeating mask that covers them, as
    # (0028,0400) "Transform Label" over 002804x0.
    for mask, (vr, _vm, name, _retired, _keyword) in RepeatersDictionary.items():
        group_part, element_part = mask[:4], mask[4:]
        if group_part[2:] == "xx" and "x" not in element_part:
            base = int(group_part[:2], 16)
            for low in range(0x00, 0x20, 2):
                rows.setdefault(((base << 8) | low, int(element_part, 16)), (dictionary_vr(vr), name))
        elif group_part in ("0028",) and element_part.count("x") == 1:
            for digit in "0123456789ABCDEF":
                element = int(element_part.replace("x", digit), 16)
                rows.setdefault((0x0028, element), (dictionary_vr(vr), name))
        # 002031xx (Source Image IDs), 1000xxxx and 1010xxxx (retired
        # compression tables) span hundreds of elements; they stay unnamed.

    for group, name in GROUP_NAMES.items():
        rows[(group, 0x0000)] = ("UL", name)
    for base, name in REPEATING_GROUP_NAMES.items():
        for low in range(0x00, 0x20, 2):
            rows[((base << 8) | low, 0x0000)] = ("UL", name)

    for creator in VENDOR_CREATORS:
        for mask, (vr, _vm, _name, _retired) in private_dictionaries[creator].items():
            group_part, element_part = mask[:4], mask[4:]
            if not element_part.startswith("xx"):
                continue  # the creator's own reservation; its row is added below
            group = int(group_part, 16)
            rows.setdefault((group, 0x0010), ("xs", "?"))
            element = (VENDOR_BLOCK << 8) | int(element_part[2:], 16)
            rows.setdefault((group, element), (dictionary_vr(vr), "?"))

    for tag, vr in HIDDEN_ROWS.items():
        old_vr = rows.get(tag, (vr, ""))[0]
        rows[tag] = (vr or old_vr, "?")
    for tag, (vr, name) in LEGACY_ROWS.items():
        rows[tag] = (vr, name)
    for tag, name in RENAMED.items():
        rows[tag] = (rows[tag][0], name)

    rows[(0xFFFF, 0xFFFF)] = ("xs", "")
    table = sorted(rows.items(), key=lambda item: (item[0][0] << 16) | item[0][1])

    for group, element, vr, name in TELLING_ROWS:
        got = rows.get((group, element))
        if got != (vr, name):
            sys.exit("row (%04X,%04X) is %r, expected %r" % (group, element, got, (vr, name)))
    if table[-1][0] != (0xFFFF, 0xFFFF):
        sys.exit("the sentinel is not the last row")
    # The probe sequence reaches every row only for some row counts; the
    # sentinel is repeated until the count is one of them.
    while not probe_sequence_reaches_all([(g << 16) | e for (g, e), _ in table]):
        table.append(((0xFFFF, 0xFFFF), ("xs", "")))
    return table


def find_entry(keys, key):
    """dicom_find_entry's probe sequence, as the C++ code runs it."""
    count = len(keys)
    index = step = count // 2
    probes = 0
    while index < count:
        probes += 1
        if key == keys[index]:
            return index, probes
        if step == 1:
            break
        step = (step + (step & 1)) // 2
        index = index + step if key > keys[index] else index - step
        if index < 0:
            break
    return None, probes


def probe_sequence_reaches_all(keys):
    """True when every distinct key is found by the fixed probe sequence over
    the row count (misses cannot find a row)."""
    for position, key in enumerate(keys):
        found, _probes = find_entry(keys, key)
        if found is None or keys[found] != key:
            return False
    return True


def build_sequences():
    ranges = []
    singles = []
    for mask, (vr, _vm, _name, _retired, keyword) in RepeatersDictionary.items():
        if vr != "SQ":
            continue
        group_part, element_part = mask[:4], mask[4:]
        if group_part[2:] != "xx" or "x" in element_part:
            sys.exit("unexpected repeating sequence %s" % mask)
        base = int(group_part[:2], 16) << 8
        element = int(element_part, 16)
        # The whole block of 256 groups, even groups only.
        ranges.append((base, base | 0xFF, 0, element, element, 2, keyword))
    for tag, (vr, _vm, _name, _retired, keyword) in DicomDictionary.items():
        if vr == "SQ":
            singles.append((tag >> 16, tag >> 16, 2, tag & 0xFFFF, tag & 0xFFFF, 2, keyword))
    ranges.sort()
    singles.sort(key=lambda row: (row[0] << 16) | row[3])
    for row in ranges:
        for single in singles:
            if row_matches(row, single[0], single[3]):
                sys.exit("sequence %04X,%04X lies in a repeating row" % (single[0], single[3]))
    return ranges, singles


def row_matches(row, group, element):
    group_low, group_high, group_parity, element_low, element_high, element_parity, _ = row

    def parity_ok(value, parity):
        return parity == 2 or (value & 1) == parity

    return (group_low <= group <= group_high and parity_ok(group, group_parity)
            and element_low <= element <= element_high and parity_ok(element, element_parity))


def main():
    output = sys.argv[1] if len(sys.argv) > 1 else DEFAULT_OUTPUT
    table = build_dictionary()
    ranges, singles = build_sequences()
    for uid, _code in TRANSFER_SYNTAXES:
        if uid not in UID_dictionary:
            sys.exit("unknown transfer syntax %s" % uid)

    out = []
    w = out.append
    w("// generated by tools/gen_dicom_dictionary.py — do not edit.")
    w("// Source: the DICOM data dictionary (PS3.6) of pydicom %s." % PYDICOM_VERSION)
    w('#include "dicom/dicom_dictionary.h"')
    w("")
    w("// Sorted by group << 16 | element; the last row is the sentinel.")
    w("const DicomDictEntry DicomDictionary[] = {")
    for (group, element), (vr, name) in table:
        w("    {0x%04X, 0x%04X, \"%s\", %s}," % (group, element, vr, c_string(name)))
    w("};")
    w("const int kDicomDictionaryRows = %d;" % len(table))
    w("")
    w("// The repeating-group rows, then the single tags by ascending tag, then")
    w("// the terminator. dicom_private's fast path relies on this order.")
    w("const VrRangeRule VrRangeTable[] = {")
    for group_low, group_high, group_parity, element_low, element_high, element_parity, keyword in (
            ranges + singles):
        w("    {0x%04X, 0x%04X, %d, 0x%04X, 0x%04X, %d, kVrSQ, %s}," % (
            group_low, group_high, group_parity, element_low, element_high, element_parity,
            c_string(keyword)))
    w("    {0xFFFF, 0xFFFF, 2, 0x0000, 0xFFFF, 2, kVrUN, \"Unknown\"},")
    w("};")
    w("const int kVrRangeTableRows = %d;" % (len(ranges) + len(singles) + 1))
    w("const int kVrRangeRepeatingRows = %d;" % len(ranges))
    w("")
    w("const TransferSyntaxRow TransferSyntaxTable[] = {")
    for uid, code in TRANSFER_SYNTAXES:
        w("    {%s, %s},  // %s" % (c_string(uid), code, UID_dictionary[uid][0]))
    w("};")
    w("const int kTransferSyntaxRows = %d;" % len(TRANSFER_SYNTAXES))
    w("")
    with open(output, "w", encoding="utf-8") as f:
        f.write("\n".join(out))
    print("%s: %d dictionary rows, %d sequence rows" % (output, len(table),
                                                      len(ranges) + len(singles) + 1))


if __name__ == "__main__":
    main()
