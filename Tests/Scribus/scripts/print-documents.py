# Prints what Scribus reads from documents: pages, the items on each page
# with their geometry, fill colour and text, and the document's colours.
# Run by Scribus itself:
#   SCRIBUS_INPUTS=a.sla:b.sla SCRIBUS_OUTPUT=out.txt scribus -g -ns -py print-documents.py
# One Scribus run prints every input, so that its start-up is paid once.
import os
import scribus


def describe(path):
    scribus.openDoc(path)
    scribus.setUnit(scribus.UNIT_POINTS)
    lines = ["document %s" % os.path.basename(path), "pages %d" % scribus.pageCount()]
    for page in range(1, scribus.pageCount() + 1):
        scribus.gotoPage(page)
        items = scribus.getPageItems()
        lines.append("page %d items %d" % (page, len(items)))
        for name, kind, _ in items:
            x, y = scribus.getPosition(name)
            width, height = scribus.getSize(name)
            line = "  %s type=%d pos=%.2f,%.2f size=%.2f,%.2f rot=%.2f fill=%s" % (
                name, kind, x, y, width, height, scribus.getRotation(name), scribus.getFillColor(name))
            if kind == 4:
                line += " text=%r" % scribus.getAllText(name)
            lines.append(line)
    for color in sorted(scribus.getColorNames()):
        lines.append("colour %s %r" % (color, scribus.getColorAsRGB(color)))
    scribus.closeDoc()
    return lines


out = []
for path in os.environ["SCRIBUS_INPUTS"].split(":"):
    try:
        out.extend(describe(path))
    except Exception as error:
        out.append("document %s error %s" % (os.path.basename(path), error))
with open(os.environ["SCRIBUS_OUTPUT"], "w") as handle:
    handle.write("\n".join(out) + "\n")
