# Makes a second version of documents with Scribus itself. For each input it
# saves the document as Scribus writes it (original-N.sla), then edits it and
# saves the edit (edited-N.sla), and reports what it changed (report-N.txt):
#   story NAME      text inserted in the middle of the story of frame NAME
#   moved NAME      the item moved by (10, 5) and made 20 by 10 larger
#   colour NAME     the colour redefined as RGB 12, 34, 56
#   added NAME      a rectangle added on the first page
#   deleted KIND NAME  an item deleted (the last in the document's item order,
#                   so that the names Scribus gives unnamed items do not move;
#                   a text frame takes its story with it)
# Run by Scribus:
#   SCRIBUS_INPUTS=a.sla:b.sla SCRIBUS_OUTDIR=dir scribus -g -ns -py edit-documents.py
import os
import traceback
import re
import scribus

BUILT_IN = {"None", "Registration", "White", "Black", "Cyan", "Magenta", "Yellow"}
INSERTED = " [edited in Scribus] "
ADDED = "Added in Scribus"


def unlocked(name, action):
    locked = scribus.isLocked(name)
    if locked:
        scribus.lockObject(name)
    action()
    if locked:
        scribus.lockObject(name)


def last_item_page(saved):
    # The page of the last top-level item in the document's item order.
    with open(saved, encoding="utf-8", errors="replace") as handle:
        pages = re.findall(r'^        <PAGEOBJECT\b[^>]*?\bOwnPage="(-?\d+)"', handle.read(), re.M)
    return int(pages[-1]) + 1 if pages else None


def edit(path, original, edited, report):
    scribus.openDoc(path)
    scribus.saveDocAs(original)
    scribus.closeDoc()
    # The edit starts from the saved original: Scribus names unnamed items
    # as it reads a document, and older formats are read in another order.
    scribus.openDoc(original)
    # Edits in points; the document keeps its own unit.
    unit = scribus.getUnit()
    scribus.setUnit(scribus.UNIT_POINTS)
    items = []
    for page in range(1, scribus.pageCount() + 1):
        scribus.gotoPage(page)
        items.extend((page, name, kind) for name, kind, _ in scribus.getPageItems())
    lines = []

    def chained(name, kind):
        return kind == 4 and (scribus.getNextLinkedFrame(name) or scribus.getPrevLinkedFrame(name))

    stories = [name for _, name, kind in items
               if kind == 4 and scribus.getTextLength(name) > 3 and not scribus.getPrevLinkedFrame(name)]
    story = stories[0] if stories else None
    if story:
        middle = len(scribus.getAllText(story)) // 2
        unlocked(story, lambda: scribus.insertText(INSERTED, middle, story))
        lines.append("story " + story)

    deleted = None
    page = last_item_page(original)
    if page:
        scribus.gotoPage(page)
        name, kind, _ = scribus.getPageItems()[-1]
        if name != story and kind != 12 and not chained(name, kind):
            deleted = name
            deleted_kind = kind

    movable = [name for _, name, kind in items if name not in (story, deleted) and kind != 12]
    if movable:
        moved = movable[0]

        def move():
            scribus.moveObject(10, 5, moved)
            width, height = scribus.getSize(moved)
            scribus.sizeObject(width + 20, height + 10, moved)

        unlocked(moved, move)
        lines.append("moved " + moved)

    colours = [name for name in scribus.getColorNames() if name not in BUILT_IN]
    if colours:
        scribus.changeColorRGB(colours[0], 12, 34, 56)
        lines.append("colour " + colours[0])

    if deleted:
        if scribus.isLocked(deleted):
            scribus.lockObject(deleted)
        scribus.deleteObject(deleted)
        lines.append("deleted %d %s" % (deleted_kind, deleted))

    scribus.gotoPage(1)
    scribus.createRect(20, 20, 60, 40, ADDED)
    lines.append("added " + ADDED)

    scribus.setUnit(unit)
    scribus.saveDocAs(edited)
    scribus.closeDoc()
    with open(report, "w") as handle:
        handle.write("\n".join(lines) + "\n")


outdir = os.environ["SCRIBUS_OUTDIR"]
for index, path in enumerate(os.environ["SCRIBUS_INPUTS"].split(":")):
    report = os.path.join(outdir, "report-%d.txt" % index)
    try:
        edit(path, os.path.join(outdir, "original-%d.sla" % index), os.path.join(outdir, "edited-%d.sla" % index),
             report)
    except Exception as error:
        with open(report, "w") as handle:
            handle.write("error %s\n" % traceback.format_exc().replace("\n", " | "))
