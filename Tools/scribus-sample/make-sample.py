# Makes the Scribus sample pair with Scribus itself: a three-page harbour
# notice (facing pages, linked text frames, a picture, shapes, colours,
# styles, a layer), saved as version 1; then a second version with the edits
# a colleague might make: the story's text changed, a shape moved and
# resized, a colour redefined, a frame added and one deleted.
# Run by scripts/make-scribus-sample:
#   SAMPLE_V1=v1.sla SAMPLE_V2=v2.sla SAMPLE_PICTURE=x.png scribus -g -ns -py make-sample.py
import os
import scribus

V1 = os.environ["SAMPLE_V1"]
V2 = os.environ["SAMPLE_V2"]
PICTURE = os.environ["SAMPLE_PICTURE"]

BODY = ("Ferries to the outer islands leave from the north quay every morning. "
        "Passengers with bicycles board first, through the side gate.\r"
        "The harbour office is open from eight until six. In winter it closes at four.\r"
        "Moorings for visiting boats are booked at the office or by radio on channel twelve. "
        "Fuel is sold at the south pier until noon.\r"
        "The fish market opens at five. Buyers register the day before.")

scribus.newDocument(scribus.PAPER_A4, (40, 40, 50, 50), scribus.PORTRAIT, 1, scribus.UNIT_POINTS,
                    scribus.FACINGPAGES, scribus.FIRSTPAGERIGHT, 3)
scribus.setInfo("Harbour office", "Harbour notice", "Notices for the harbour's users")
scribus.defineColorRGB("Harbour Blue", 20, 60, 120)
scribus.defineColorCMYK("Buoy Red", 0, 230, 200, 20)
scribus.defineColorRGB("Sand", 230, 215, 170)
scribus.createCharStyle("Emphasis", font="DejaVu Sans Bold", fontsize=11)
scribus.createParagraphStyle("Notice Body", linespacing=14, alignment=0)
scribus.createLayer("Notes")
scribus.setActiveLayer(scribus.getLayers()[0])

scribus.gotoPage(1)
scribus.createRect(40, 40, 515, 60, "Banner")
scribus.setFillColor("Harbour Blue", "Banner")
scribus.createText(50, 50, 495, 40, "Headline")
scribus.setText("Harbour notice: summer timetable", "Headline")
scribus.setFont("DejaVu Sans Bold", "Headline")
scribus.setFontSize(22, "Headline")
scribus.setTextColor("White", "Headline")
scribus.createText(40, 120, 515, 300, "Body 1")
scribus.setText(BODY, "Body 1")
scribus.setFont("DejaVu Sans Book", "Body 1")
scribus.setFontSize(11, "Body 1")
scribus.setStyle("Notice Body", "Body 1")
# One sentence in bold, one word in red: character formatting within runs.
start = BODY.index("Passengers with bicycles")
scribus.selectText(start, len("Passengers with bicycles board first"), "Body 1")
scribus.setFont("DejaVu Sans Bold", "Body 1")
start = BODY.index("winter")
scribus.selectText(start, len("winter"), "Body 1")
scribus.setTextColor("Buoy Red", "Body 1")
scribus.createImage(40, 440, 250, 180, "Harbour photo")
scribus.loadImage(PICTURE, "Harbour photo")
scribus.createEllipse(320, 460, 80, 80, "Buoy")
scribus.setFillColor("Buoy Red", "Buoy")

scribus.gotoPage(2)
scribus.createText(40, 60, 515, 200, "Body 2")
scribus.linkTextFrames("Body 1", "Body 2")
scribus.createRect(40, 300, 200, 100, "Notice board")
scribus.setFillColor("Sand", "Notice board")

scribus.gotoPage(3)
scribus.createText(40, 60, 515, 120, "Tide table")
scribus.setText("High water 06:12 and 18:40.\rLow water 00:05 and 12:27.", "Tide table")
scribus.setFont("DejaVu Sans Book", "Tide table")
scribus.createText(40, 700, 515, 40, "Footer")
scribus.setText("Harbour office, north quay", "Footer")
scribus.saveDocAs(V1)

# The second version.
old = "closes at four."
scribus.selectText(BODY.index(old), len(old), "Body 1")
scribus.deleteText("Body 1")
scribus.insertText("closes at three.", BODY.index(old), "Body 1")
gate = "through the side gate."
scribus.insertText(" Dogs travel free.", BODY.index(gate) + len(gate), "Body 1")
scribus.moveObject(30, -20, "Buoy")
scribus.sizeObject(100, 100, "Buoy")
scribus.changeColorRGB("Harbour Blue", 10, 80, 150)
scribus.gotoPage(3)
scribus.createText(40, 200, 515, 80, "Ferry times")
scribus.setText("North quay: 07:00, 09:30, 13:00.", "Ferry times")
scribus.deleteObject("Tide table")
scribus.setText("Harbour office, north quay. Radio channel 12.", "Footer")
scribus.saveDocAs(V2)
scribus.closeDoc()
