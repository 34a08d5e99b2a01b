# Makes a second version of documents with Scribus itself. For each input it
# saves the document as Scribus writes it (original-N.sla), edits that copy
# with Scribus's API and saves the edit (edited-N.sla), and reports what it
# changed (report-N.txt), one line per edit:
#   story NAME                text inserted in the middle of the story whose
#                             first frame is NAME
#   moved NAME                the object moved by (10, 5) and made 20 by 10 larger
#   colour NAME               the colour redefined as RGB 12, 34, 56
#   picture NAME -> FILE      the image FILE loaded into image frame NAME
#                             (FILE comes from SCRIBUS_PICTURE; without it no
#                             picture is changed)
#   duplicated NAME -> COPY   the shape NAME duplicated; COPY is the copy's name
#                             as Scribus shows it when it opens the edited document
#   deleted KIND NAME         an object without a name of its own deleted from
#                             the middle of the document's item order (a text
#                             frame takes its story with it)
#   renamed OLD -> NEW        an object without a name of its own that Scribus
#                             names NEW, no longer OLD, when it opens the edited
#                             document, because the deleted object came before it
#   added NAME                a rectangle added on the first page
#   restyled NAME WHAT        a formatting-only version (restyled-N.sla) of the
#                             original: five characters in the middle of the
#                             story whose first frame is NAME made 4 pt larger
#                             (WHAT size), set in another font (font), or in
#                             another colour (colour), or their paragraph given
#                             a new style "Restyled" (style), whose character
#                             style "Restyled characters" sets 19 pt
#   restyle-error MESSAGE     the formatting-only version could not be made
#   error MESSAGE             the document could not be edited, or Scribus does
#                             not show the edited document as the other lines say:
#                             it is not to be used
# An edit is made only where the document has something it applies to, and no
# object is touched by two edits.
#
# Names: Scribus writes a name (ANNAME) only for an object that has a name of
# its own (given by a user, or by the program that made the document). It
# names the others as it reads a document: their kind and their place among
# all objects in the order they stand in the file (Scribus writes master
# objects first, and a group's members right after the group), so the 12th
# object, a text frame, is Text12. Deleting an object moves every later one up
# a place, and so renames the later ones without a name of their own. The
# script checks that rule against the saved original before it relies on it,
# and afterwards opens the edited document again (groups opened, so that their
# members show too) and checks that every object is where and what the report
# says, under the name it says.
#
# Run by Scribus:
#   SCRIBUS_INPUTS=a.sla:b.sla SCRIBUS_OUTDIR=dir [SCRIBUS_PICTURE=image.png] \
#       scribus -g -ns -py edit-documents.py
import hashlib
import os
import re
import traceback

import scribus

BUILT_IN = {"None", "Registration", "White", "Black", "Cyan", "Magenta", "Yellow"}
INSERTED = " [edited in Scribus] "
ADDED = "Added in Scribus"
NEW_RGB = (12, 34, 56)
GROUP = 12
TEXT = 4
IMAGE = 2
LINE = 5
SHAPES = (LINE, 6, 7)  # line, polygon, polyline
# Positions and sizes after a save and a reading agree to this (Scribus
# writes them with fewer digits than it holds).
TOLERANCE = 0.05


class Failure(Exception):
    pass


def unlocked(name, action):
    locked = scribus.isLocked(name)
    if locked:
        scribus.lockObject(name)
    action()
    if locked:
        scribus.lockObject(name)


def read_order(saved):
    # Every object of a document Scribus saved, in the order Scribus reads
    # them, as (kind, has a name of its own).
    with open(saved, encoding="utf-8", errors="replace") as handle:
        xml = handle.read()
    order = []
    for tag in re.finditer(r"<(?:PAGEOBJECT|MASTEROBJECT|FRAMEOBJECT)\s[^>]*>", xml):
        kind = re.search(r'\sPTYPE="(-?\d+)"', tag.group(0))
        name = re.search(r'\sANNAME="([^"]*)"', tag.group(0))
        order.append((int(kind.group(1)) if kind else None, bool(name and name.group(1))))
    return order


def picture_of(name):
    # The frame's image file; for an image kept inside the document, which
    # Scribus writes to a new temporary file each time it opens it, the
    # digest of its bytes.
    path = scribus.getImageFile(name)
    if os.path.basename(path).startswith("scribus_temp_"):
        with open(path, "rb") as image:
            return "inline " + hashlib.sha1(image.read()).hexdigest()
    return path


def geometry(name):
    x, y = scribus.getPosition(name)
    width, height = scribus.getSize(name)
    return (x, y, width, height)


def same_geometry(a, b):
    return all(abs(p - q) <= TOLERANCE for p, q in zip(a, b))


def inventory(path):
    # Every object on the document's pages as Scribus shows it when it opens
    # the document, groups opened so that their members show too: a list of
    # (page, name, kind, number, geometry, picture). Scribus's third value of
    # getPageItems is the object's place in the order it read them (1 on).
    # The document is closed unsaved.
    scribus.openDoc(path)
    try:
        scribus.setUnit(scribus.UNIT_POINTS)
        entries = []
        for page in range(1, scribus.pageCount() + 1):
            scribus.gotoPage(page)
            for _ in range(100):
                groups = [name for name, kind, _ in scribus.getPageItems() if kind == GROUP]
                if not groups:
                    break
                for group in groups:
                    if scribus.isLocked(group):
                        scribus.lockObject(group)
                    scribus.unGroupObject(group)
            for name, kind, number in scribus.getPageItems():
                picture = picture_of(name) if kind == IMAGE else None
                entries.append((page, name, kind, number, geometry(name), picture))
        return entries
    finally:
        scribus.closeDoc()


def check_names(order, shown):
    # Scribus's names follow the rule above.
    for _, name, kind, number, _, _ in shown:
        if not 1 <= number <= len(order) or order[number - 1][0] != kind:
            raise Failure("object %s (kind %d) is not object %d of the saved file" % (name, kind, number))
        if not order[number - 1][1] and not re.match(r"^\D+%d$" % number, name):
            raise Failure("object %d has no name of its own but Scribus calls it %s" % (number, name))


def renamed(name, number):
    return re.sub(r"\d+$", str(number), name)


def compare(expected, shown, new_objects):
    # The edited document as Scribus shows it against what the edits should
    # have left: every expected object once, and besides them exactly the new
    # objects, each a (page, kind, geometry) that must be there.
    remaining = list(shown)
    for page, name, kind, geom, picture in expected:
        match = next((entry for entry in remaining
                      if entry[0] == page and entry[1] == name and entry[2] == kind
                      and same_geometry(entry[4], geom) and (picture is None or entry[5] == picture)), None)
        if match is None:
            raise Failure("the edited document has no %s (kind %d) at %s on page %d" % (
                name, kind, ",".join("%.2f" % v for v in geom), page))
        remaining.remove(match)
    found = {}
    for key, (page, kind, geom) in new_objects.items():
        match = next((entry for entry in remaining
                      if entry[0] == page and entry[2] == kind and same_geometry(entry[4], geom)), None)
        if match is None:
            raise Failure("the edited document has no new %s" % key)
        remaining.remove(match)
        found[key] = match[1]
    if remaining:
        raise Failure("the edited document has objects no edit made: %s" % ", ".join(
            entry[1] for entry in remaining))
    return found


def edit(path, original, edited, picture, lines):
    scribus.openDoc(path)
    scribus.saveDocAs(original)
    scribus.closeDoc()
    # The edit starts from the saved original: Scribus names unnamed objects
    # as it reads a document, and older formats are read in another order.
    order = read_order(original)
    before = inventory(original)
    check_names(order, before)
    visible = {number for _, _, _, number, _, _ in before}

    scribus.openDoc(original)
    # Edits in points; the document keeps its own unit.
    unit = scribus.getUnit()
    scribus.setUnit(scribus.UNIT_POINTS)
    items = []  # (page, name, kind, number) of the objects on pages, groups closed
    for page in range(1, scribus.pageCount() + 1):
        scribus.gotoPage(page)
        items.extend((page, name, kind, number) for name, kind, number in scribus.getPageItems())
    by_name = {}
    for item in items:
        by_name.setdefault(item[1], item)
    # Names Scribus gave must not be shared, or the edits could not say
    # which object they touched.
    unique = {name for name in by_name if sum(1 for item in items if item[1] == name) == 1}

    def chain(name):
        frames = [name]
        while scribus.getNextLinkedFrame(frames[-1]) and len(frames) < 1000:
            frames.append(scribus.getNextLinkedFrame(frames[-1]))
        return frames

    def chained(name, kind):
        return kind == TEXT and bool(scribus.getNextLinkedFrame(name) or scribus.getPrevLinkedFrame(name))

    stories = [(name, chain(name)) for _, name, kind, _ in items
               if kind == TEXT and not scribus.getPrevLinkedFrame(name) and scribus.getTextLength(name) > 3]

    def plan(deleted):
        # The objects the other edits take when `deleted` goes: each one
        # whose name stays as it is (named, or before the deleted object).
        def stable(item):
            return item[1] in unique and (deleted is None or order[item[3] - 1][1] or item[3] < deleted[3])

        taken = {deleted[1]} if deleted else set()
        chosen = {}
        for name, frames in stories:
            if all(frame in by_name and stable(by_name[frame]) and frame not in taken for frame in frames):
                chosen["story"] = name
                taken.update(frames)
                break
        for key, test in (("picture", lambda item: picture and item[2] == IMAGE),
                          ("source", lambda item: item[2] in SHAPES),
                          # A line has no height to grow.
                          ("moved", lambda item: item[2] != LINE)):
            for item in items:
                if item[1] not in taken and item[2] != GROUP and stable(item) and test(item):
                    taken.add(item[1])
                    chosen[key] = item
                    break
        return chosen

    # The object to delete: one without a name of its own, with objects
    # without names after it (all of them on pages, where their new names
    # can be seen and checked). One from the middle half of the item order
    # when there is one; of those, the one that leaves the other edits the
    # most to do, then the one nearest the middle.
    deleted = None
    numbers = sorted(number for _, _, _, number in items)
    candidates = []
    for page, name, kind, number in items:
        if order[number - 1][1] or kind == GROUP or chained(name, kind) or name not in unique:
            continue
        later = [n for n in range(number + 1, len(order) + 1) if not order[n - 1][1]]
        if not later or not all(n in visible for n in later):
            continue
        distance = abs(numbers.index(number) - len(numbers) // 2)
        item = (page, name, kind, number)
        candidates.append((distance > len(numbers) // 4, -len(plan(item)), distance, number, item))
    if candidates:
        deleted = min(candidates)[-1]
    chosen = plan(deleted)
    story = chosen.get("story")
    framed = chosen.get("picture")
    source = chosen.get("source")
    moved = chosen.get("moved")

    if story:
        middle_of_text = scribus.getTextLength(story) // 2
        unlocked(story, lambda: scribus.insertText(INSERTED, middle_of_text, story))
        lines.append("story " + story)

    moved_to = None
    if moved:
        page, name = moved[0], moved[1]

        def move():
            scribus.moveObject(10, 5, name)
            width, height = scribus.getSize(name)
            scribus.sizeObject(width + 20, height + 10, name)

        scribus.gotoPage(page)
        moved_from = geometry(name)
        unlocked(name, move)
        moved_to = geometry(name)
        if not same_geometry([b - a for a, b in zip(moved_from, moved_to)], (10, 5, 20, 10)):
            raise Failure("%s moved from %s to %s" % (name, moved_from, moved_to))
        lines.append("moved " + name)

    colours = [name for name in scribus.getColorNames() if name not in BUILT_IN]
    if colours:
        rgb = NEW_RGB if tuple(scribus.getColorAsRGB(colours[0])) != NEW_RGB else NEW_RGB[::-1]
        scribus.changeColorRGB(colours[0], *rgb)
        lines.append("colour " + colours[0])

    if framed:
        unlocked(framed[1], lambda: scribus.loadImage(picture, framed[1]))
        lines.append("picture %s -> %s" % (framed[1], picture))

    new_objects = {}
    if source:
        page, name, kind = source[0], source[1], source[2]
        scribus.gotoPage(page)
        copy = scribus.duplicateObject(name)
        scribus.gotoPage(page)
        new_objects["copy"] = (page, kind, geometry(copy))

    if deleted:
        if scribus.isLocked(deleted[1]):
            scribus.lockObject(deleted[1])
        scribus.deleteObject(deleted[1])

    scribus.gotoPage(1)
    added = scribus.createRect(20, 20, 60, 40, ADDED)
    new_objects["rectangle"] = (1, 6, geometry(added))

    scribus.setUnit(unit)
    scribus.saveDocAs(edited)
    scribus.closeDoc()

    # What Scribus shows of the edited document, against what the edits
    # should have made of the original.
    shifted = []
    expected = []
    for page, name, kind, number, geom, shown_picture in before:
        if deleted and number == deleted[3]:
            continue
        if deleted and number > deleted[3] and not order[number - 1][1]:
            shifted.append((number, name, renamed(name, number - 1)))
            name = renamed(name, number - 1)
        if moved and number == moved[3]:
            geom = moved_to
        expected_picture = picture if framed and number == framed[3] else shown_picture
        expected.append((page, name, kind, geom, expected_picture))
    found = compare(expected, inventory(edited), new_objects)
    if source:
        lines.append("duplicated %s -> %s" % (source[1], found["copy"]))
    if deleted:
        lines.append("deleted %d %s" % (deleted[2], deleted[1]))
        lines.extend("renamed %s -> %s" % (old, new) for _, old, new in sorted(shifted))
    if found["rectangle"] != ADDED:
        raise Failure("the added rectangle is called %s" % found["rectangle"])
    lines.append("added " + ADDED)


def restyle(original, restyled, index, lines):
    scribus.openDoc(original)
    scribus.setUnit(scribus.UNIT_POINTS)
    names = []
    for page in range(1, scribus.pageCount() + 1):
        scribus.gotoPage(page)
        names.extend(name for name, kind, _ in scribus.getPageItems() if kind == TEXT)
    stories = [name for name in names if names.count(name) == 1 and not scribus.getPrevLinkedFrame(name)
               and scribus.getTextLength(name) > 12]
    if not stories:
        scribus.closeDoc()
        return
    story = stories[0]
    what = ("size", "font", "colour", "style")[index % 4]
    start = scribus.getTextLength(story) // 2 - 2

    def apply():
        scribus.selectText(start, 5, story)
        if what == "size":
            scribus.setFontSize(scribus.getFontSize(story) + 4, story)
        elif what == "font":
            current = scribus.getFont(story)
            fonts = [f for f in scribus.getFontNames() if f != current]
            preferred = [f for f in fonts if f.startswith("DejaVu")]
            scribus.setFont((preferred or fonts)[0], story)
        elif what == "colour":
            current = scribus.getTextColor(story)
            colours = [c for c in scribus.getColorNames() if c not in (current, "None", "Registration")]
            scribus.setTextColor(colours[0], story)
        else:
            scribus.createCharStyle(name="Restyled characters", fontsize=19)
            scribus.createParagraphStyle(name="Restyled", alignment=1, charstyle="Restyled characters")
            scribus.setParagraphStyle("Restyled", story)

    unlocked(story, apply)
    scribus.saveDocAs(restyled)
    scribus.closeDoc()
    lines.append("restyled %s %s" % (story, what))


outdir = os.environ["SCRIBUS_OUTDIR"]
picture = os.environ.get("SCRIBUS_PICTURE")
for index, path in enumerate(os.environ["SCRIBUS_INPUTS"].split(":")):
    lines = []
    original = os.path.join(outdir, "original-%d.sla" % index)
    for step in ("edit", "restyle"):
        try:
            if step == "edit":
                edit(path, original, os.path.join(outdir, "edited-%d.sla" % index),
                     os.path.abspath(picture) if picture else None, lines)
            elif os.path.exists(original):
                restyle(original, os.path.join(outdir, "restyled-%d.sla" % index), index, lines)
        except Exception as error:
            detail = str(error) if isinstance(error, Failure) else traceback.format_exc()
            lines.append(("error " if step == "edit" else "restyle-error ") + detail.strip().replace("\n", " | "))
        finally:
            while scribus.haveDoc():
                scribus.closeDoc()
    with open(os.path.join(outdir, "report-%d.txt" % index), "w", encoding="utf-8") as handle:
        handle.write("\n".join(lines) + "\n")
