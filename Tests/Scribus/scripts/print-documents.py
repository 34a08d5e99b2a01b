# Prints what Scribus reads from documents: pages, the objects on each page
# in the order Scribus stacks them, and the document's colours. Run by
# Scribus itself:
#   SCRIBUS_INPUTS=a.sla:b.sla SCRIBUS_OUTPUT=out.txt scribus -g -ns -py print-documents.py
# One Scribus run prints every input, so that its start-up is paid once.
#
# For each document, one line each:
#   document NAME
#   pages N
#   page N items M
#     NAME type=T pos=X,Y size=W,H rot=R fill=COLOUR line='COLOUR' linewidth=W layer='LAYER'
#         [picture='FILE'|inline digest=HEX|missing|none]
#         [text='...' runs=[(START,COUNT,'FONT',SIZE,'COLOUR'),...]]
#   colour NAME (R, G, B)
# (an object is one line; the bracketed fields only for image frames, type 2,
# and text frames, type 4). Positions are in points from the corner of the
# object's page, numbers have two decimals. fill= is written bare (it ran to
# the end of the line before other fields came after it, and callers match
# lines up to it); the other strings are Python literals. A field Scribus
# cannot give is `?`. A document Scribus cannot open is `document NAME error
# MESSAGE`.
#
# Stacking: Scribus paints the page's layers from the lowest level up and,
# within a layer, the objects in the order of its item list, which is the
# order getPageItems returns them in (moving an object to the front moves it
# to the end of that list). getLayers returns the layers in the order they
# were made, not by level, and the API gives no level, so the levels are read
# from a copy Scribus saves of the document when it has more than one layer.
#
# Formatting runs: selectText on one character, then getFont, getFontSize and
# getTextColor give that character's values; consecutive characters with the
# same three are one run. Positions count characters of the story (the chain
# of linked frames), as getTextLength does; every frame of a chain prints its
# whole story, as getAllText gives it.
import hashlib
import os
import re
import tempfile
from html import unescape

import scribus


def field(get, form="%s"):
    try:
        return form % (get(),)
    except Exception:
        return "?"


def layer_levels():
    # Layer name -> level, from a copy Scribus writes (1.5 format, whose
    # LAYERS elements carry LEVEL and NAME).
    layers = scribus.getLayers()
    if len(layers) < 2:
        return {name: 0 for name in layers}
    handle, scratch = tempfile.mkstemp(suffix=".sla")
    os.close(handle)
    try:
        scribus.saveDocAs(scratch)
        with open(scratch, encoding="utf-8", errors="replace") as copy:
            xml = copy.read()
    finally:
        os.remove(scratch)
    levels = {}
    for element in re.findall(r"<LAYERS\s[^>]*>", xml):
        level = re.search(r'\sLEVEL="(-?\d+)"', element)
        name = re.search(r'\sNAME="([^"]*)"', element)
        if level and name:
            levels[unescape(name.group(1))] = int(level.group(1))
    return levels


def stacked(page, levels):
    # The page's objects, bottom first, each (name, kind, layer).
    items = scribus.getPageItems()
    # Each layer's objects on this page, in item-list order.
    queues = {}
    for layer in scribus.getLayers():
        try:
            queues[layer] = list(scribus.getAllObjects(page=page - 1, layer=layer))
        except Exception:
            queues[layer] = []
    placed = []
    for position, (name, kind, _) in enumerate(items):
        layer = next((layer for layer, queue in queues.items() if queue and queue[0] == name), None)
        if layer is None:
            layer = next((layer for layer, queue in queues.items() if name in queue), None)
        if layer is not None:
            queues[layer].remove(name)
        placed.append((levels.get(layer, 0) if layer is not None else 0, position, name, kind, layer))
    placed.sort(key=lambda entry: (entry[0], entry[1]))
    return [(name, kind, layer) for _, _, name, kind, layer in placed]


def first_frame(name):
    seen = {name}
    while True:
        previous = scribus.getPrevLinkedFrame(name)
        if not previous or previous in seen:
            return name
        seen.add(previous)
        name = previous


def runs_of(frame):
    runs = []
    try:
        for index in range(scribus.getTextLength(frame)):
            scribus.selectText(index, 1, frame)
            values = (scribus.getFont(frame), scribus.getFontSize(frame), scribus.getTextColor(frame))
            if runs and runs[-1][2:] == list(values):
                runs[-1][1] += 1
            else:
                runs.append([index, 1] + list(values))
        return "[" + ",".join("(%d,%d,%r,%.2f,%r)" % tuple(run) for run in runs) + "]"
    except Exception:
        return "?"
    finally:
        try:
            scribus.selectText(0, 0, frame)
        except Exception:
            pass


def picture_of(name):
    path = scribus.getImageFile(name)
    if not path:
        return "picture='' digest=none"
    try:
        with open(path, "rb") as image:
            digest = hashlib.sha1(image.read()).hexdigest()[:12]
    except OSError:
        digest = "missing"
    # An image kept inside the document is written to a new temporary file
    # each time Scribus opens the document; only its bytes say which it is.
    if os.path.basename(path).startswith("scribus_temp_"):
        return "picture=inline digest=%s" % digest
    return "picture=%r digest=%s" % (path, digest)


def describe_item(name, kind, layer, stories):
    line = "  %s type=%d pos=%s size=%s rot=%s fill=%s line=%s linewidth=%s layer=%r" % (
        name, kind,
        field(lambda: "%.2f,%.2f" % scribus.getPosition(name)),
        field(lambda: "%.2f,%.2f" % scribus.getSize(name)),
        field(lambda: scribus.getRotation(name), "%.2f"),
        field(lambda: scribus.getFillColor(name)),
        field(lambda: scribus.getLineColor(name), "%r"),
        field(lambda: scribus.getLineWidth(name), "%.2f"),
        layer if layer is not None else "?")
    if kind == 2:
        line += " " + field(lambda: picture_of(name))
    if kind == 4:
        line += " text=" + field(lambda: scribus.getAllText(name), "%r")
        first = field(lambda: first_frame(name))
        if first not in stories:
            stories[first] = runs_of(first) if first != "?" else "?"
        line += " runs=" + stories[first]
    return line


def describe(path):
    scribus.openDoc(path)
    try:
        scribus.setUnit(scribus.UNIT_POINTS)
        levels = layer_levels()
        lines = ["document %s" % os.path.basename(path), "pages %d" % scribus.pageCount()]
        stories = {}
        for page in range(1, scribus.pageCount() + 1):
            # Positions are relative to the current page.
            scribus.gotoPage(page)
            items = stacked(page, levels)
            lines.append("page %d items %d" % (page, len(items)))
            for name, kind, layer in items:
                lines.append(describe_item(name, kind, layer, stories))
        for color in sorted(scribus.getColorNames()):
            lines.append("colour %s %s" % (color, field(lambda: scribus.getColorAsRGB(color), "%r")))
        return lines
    finally:
        scribus.closeDoc()


out = []
for path in os.environ["SCRIBUS_INPUTS"].split(":"):
    try:
        out.extend(describe(path))
    except Exception as error:
        out.append("document %s error %s: %s" % (os.path.basename(path), type(error).__name__,
                                                  str(error).replace("\n", " | ")))
with open(os.environ["SCRIBUS_OUTPUT"], "w", encoding="utf-8") as handle:
    handle.write("\n".join(out) + "\n")
