# Prints what Scribus reads from a book that xtgen --scribus-book wrote: its
# pages with their master pages, every item on a page (kind, layer, place and
# size, fill), the chains of linked text frames with the lines of text Scribus
# lays out in each frame, the picture of every image frame, the colours,
# styles, layers and master pages; and, with SCRIBUS_BOOK_PNG, each page as a
# PNG picture. Run by Scribus itself (scripts/check-scribus-book does):
#   SCRIBUS_BOOK=book.sla SCRIBUS_OUTPUT=out.txt [SCRIBUS_BOOK_PNG=folder] \
#       QT_QPA_PLATFORM=offscreen scribus -g -ns -py print-scribus-book.py
import os
import scribus

KINDS = {2: "image", 4: "text", 5: "line", 6: "shape"}

out = []
try:
    scribus.openDoc(os.environ["SCRIBUS_BOOK"])
    scribus.setUnit(scribus.UNIT_POINTS)
    out.append("pages %d" % scribus.pageCount())
    out.append("master pages %s" % ", ".join(scribus.masterPageNames()))
    out.append("layers %s" % ", ".join(scribus.getLayers()))
    out.append("paragraph styles %s" % ", ".join(sorted(scribus.getParagraphStyles())))
    out.append("character styles %s" % ", ".join(sorted(scribus.getCharStyles())))
    for colour in sorted(scribus.getColorNames()):
        out.append("colour %s %s%s" % (colour, scribus.getColor(colour),
                                       " spot" if scribus.isSpotColor(colour) else ""))
    for page in range(1, scribus.pageCount() + 1):
        scribus.gotoPage(page)
        items = scribus.getPageItems()
        out.append("page %d master %s items %d" % (page, scribus.getMasterPage(page), len(items)))
        for name, kind, _ in items:
            x, y = scribus.getPosition(name)
            width, height = scribus.getSize(name)
            line = "  %s %s pos=%.1f,%.1f size=%.1f,%.1f fill=%s" % (
                name, KINDS.get(kind, str(kind)), x, y, width, height, scribus.getFillColor(name))
            if kind == 2:
                picture = scribus.getImageFile(name)
                line += " picture=%s exists=%s" % (picture, os.path.exists(picture))
            if kind == 4:
                line += " previous=%s next=%s lines=%d overflows=%d" % (
                    scribus.getPrevLinkedFrame(name), scribus.getNextLinkedFrame(name),
                    scribus.getTextLines(name), scribus.textOverflows(name))
                shown = scribus.getFrameText(name)
                line += " shows %d characters, from %r to %r" % (len(shown), shown[:30], shown[-30:])
            out.append(line)
    folder = os.environ.get("SCRIBUS_BOOK_PNG")
    if folder:
        export = scribus.ImageExport()
        export.type = "PNG"
        export.scale = 50
        export.dpi = 72
        for page in range(1, scribus.pageCount() + 1):
            scribus.gotoPage(page)
            export.name = os.path.join(folder, "page-%d.png" % page)
            export.save()
    scribus.closeDoc()
except Exception as error:
    out.append("error %s" % error)
with open(os.environ["SCRIBUS_OUTPUT"], "w") as handle:
    handle.write("\n".join(out) + "\n")
