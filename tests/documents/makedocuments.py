#!/usr/bin/python3
"""Writes the documents the document tests search, into the folder given.

Usage: makedocuments.py FOLDER [big MEGABYTES]
Exits with 3 and one line naming the missing tool when a generator is not installed."""
import os, subprocess, sys, zipfile

out = sys.argv[1]
try:
    import docx, openpyxl
    from odf.opendocument import OpenDocumentText, OpenDocumentSpreadsheet, OpenDocumentPresentation
    from odf.style import MasterPage, PageLayout
    from odf.table import Table, TableRow, TableCell
    from odf.text import P, H
    from odf.draw import Page, Frame, TextBox
    from odf import teletype
except ImportError as e:
    print("document generator missing (python3-docx, python3-openpyxl, python3-odf): %s" % e)
    sys.exit(3)

def path(name):
    return os.path.join(out, name)

def write_zip(name, parts):
    with zipfile.ZipFile(path(name), "w", zipfile.ZIP_DEFLATED) as z:
        for part, text in parts:
            z.writestr(part, text)

if len(sys.argv) > 3 and sys.argv[2] == "big":
    # One paragraph after another until the main part holds the megabytes asked for.
    target, para = int(sys.argv[3]) << 20, '<w:p><w:r><w:t>段落 %d 合同 text</w:t></w:r></w:p>'
    with zipfile.ZipFile(path("big.docx"), "w", zipfile.ZIP_DEFLATED) as z:
        with z.open("word/document.xml", "w", force_zip64=True) as f:
            f.write(b'<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body>')
            written, n = 0, 0
            while written < target:
                chunk = "".join(para % (n + i) for i in range(1000)).encode()
                f.write(chunk); written += len(chunk); n += 1000
            f.write(b"</w:body></w:document>")
    sys.exit(0)

d = docx.Document()
for text in ["合同编号 A-1", "日本語の契約書です", "한국어 계약서"]:
    d.add_paragraph(text)
table = d.add_table(rows=2, cols=2)
for cell, text in zip(table._cells, ["甲方 Alpha", "乙方 beta", "金额", "合同总额\t100"]):
    cell.paragraphs[0].add_run(text)
d.add_paragraph("")
d.add_paragraph("长" * 100 + "合同")
d.save(path("contract.docx"))

wb = openpyxl.Workbook()
ws = wb.active
ws.title = "合同"
ws.append(["名称", "金额"])
ws.append(["合同甲", 100])
ws["A5"] = "日本語のテキスト"
ws["A6"], ws["B6"], ws["D6"] = "真假", True, False
ws2 = wb.create_sheet("Sheet二")
ws2["A3"], ws2["B3"] = "Alpha", "한국어 계약"
wb.save(path("sheet.xlsx"))

P_NS = 'xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" xmlns:p="http://schemas.openxmlformats.org/presentationml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"'
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
def slide(*paragraphs):
    ps = "".join('<a:p><a:r><a:t>%s</a:t></a:r></a:p>' % p for p in paragraphs)
    return '<p:sld %s><p:cSld><p:spTree><p:sp><p:txBody>%s</p:txBody></p:sp></p:spTree></p:cSld></p:sld>' % (P_NS, ps)
write_zip("deck.pptx", [
    ("_rels/.rels", '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="%sofficeDocument" Target="ppt/presentation.xml"/></Relationships>' % REL),
    ("ppt/presentation.xml", '<p:presentation %s><p:sldIdLst><p:sldId id="256" r:id="rId7"/><p:sldId id="257" r:id="rId3"/></p:sldIdLst></p:presentation>' % P_NS),
    ("ppt/_rels/presentation.xml.rels", '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId3" Type="%sslide" Target="slides/slideA.xml"/><Relationship Id="rId7" Type="%sslide" Target="/ppt/slides/slideB.xml"/></Relationships>' % (REL, REL)),
    ("ppt/slides/slideB.xml", slide("第一页 合同")),
    ("ppt/slides/slideA.xml", slide("日本語スライド", "한국어 슬라이드 Contract")),
])

t = OpenDocumentText()
t.text.addElement(H(outlinelevel=1, text="标题 合同"))
t.text.addElement(P(text="日本語の段落"))
tt = Table(name="T")
row = TableRow()
for text in ["セル 合同", "한국어 셀"]:
    cell = TableCell(); cell.addElement(P(text=text)); row.addElement(cell)
tt.addElement(row)
t.text.addElement(tt)
spaced = P()
teletype.addTextToElement(spaced, "Two  spaces\tand a tab")
t.text.addElement(spaced)
t.save(path("letter.odt"))

s = OpenDocumentSpreadsheet()
st = Table(name="合同表")
def srow(*texts, repeat=None):
    r = TableRow(numberrowsrepeated=repeat) if repeat else TableRow()
    for text in texts:
        c = TableCell(valuetype="string"); c.addElement(P(text=text)); r.addElement(c)
    if not texts:
        r.addElement(TableCell())
    st.addElement(r)
srow("名称", "金额"); srow("合同乙", "200"); srow(repeat=3); srow("한국어", "日本語")
s.spreadsheet.addElement(st)
s.save(path("book.ods"))

pr = OpenDocumentPresentation()
layout = PageLayout(name="PL"); pr.automaticstyles.addElement(layout)
master = MasterPage(name="MP", pagelayoutname=layout); pr.masterstyles.addElement(master)
for texts in [["第一页"], ["日本語 合同", "한국어 Contract"]]:
    page = Page(masterpagename=master); pr.presentation.addElement(page)
    frame = Frame(width="20cm", height="3cm", x="1cm", y="1cm"); page.addElement(frame)
    box = TextBox(); frame.addElement(box)
    for text in texts:
        box.addElement(P(text=text))
pr.save(path("slides.odp"))

XHTML = '<?xml version="1.0" encoding="utf-8"?>\n<!DOCTYPE html PUBLIC "-//W3C//DTD XHTML 1.1//EN" "http://www.w3.org/TR/xhtml11/DTD/xhtml11.dtd">\n<html xmlns="http://www.w3.org/1999/xhtml"><head><title>合同 title</title></head><body>%s</body></html>'
write_zip("book.epub", [
    ("mimetype", "application/epub+zip"),
    ("META-INF/container.xml", '<container xmlns="urn:oasis:names:tc:opendocument:xmlns:container" version="1.0"><rootfiles><rootfile full-path="OEBPS/content.opf" media-type="application/oebps-package+xml"/></rootfiles></container>'),
    ("OEBPS/content.opf", '<package xmlns="http://www.idpf.org/2007/opf" version="3.0"><manifest><item id="c2" href="text/ch%202.xhtml" media-type="application/xhtml+xml"/><item id="c1" href="text/ch1.xhtml" media-type="application/xhtml+xml"/></manifest><spine><itemref idref="c1"/><itemref idref="c2"/></spine></package>'),
    ("OEBPS/text/ch1.xhtml", XHTML % "<h1>第一章</h1>\n<p>合同 in <b>bold</b>\n   text</p><div>日本語の本</div>"),
    ("OEBPS/text/ch 2.xhtml", XHTML % "<p>한국어 책&nbsp;Contract</p>"),
])

# Three pages of Latin text, written by hand; CJK comes through pango-view below.
pages = ["Page one text", "Contract on page two", "page three CONTRACT"]
objs = ["<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [%s] /Count %d >>" % (" ".join("%d 0 R" % (4 + 2 * i) for i in range(3)), 3),
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"]
for i, text in enumerate(pages):
    stream = "BT /F1 12 Tf 72 720 Td (%s) Tj ET" % text
    objs.append("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 3 0 R >> >> /Contents %d 0 R >>" % (5 + 2 * i))
    objs.append("<< /Length %d >>\nstream\n%s\nendstream" % (len(stream), stream))
pdf, offsets = b"%PDF-1.4\n", []
for i, o in enumerate(objs):
    offsets.append(len(pdf)); pdf += ("%d 0 obj\n%s\nendobj\n" % (i + 1, o)).encode()
xref = len(pdf)
pdf += ("xref\n0 %d\n0000000000 65535 f \n" % (len(objs) + 1)).encode()
pdf += "".join("%010d 00000 n \n" % o for o in offsets).encode()
pdf += ("trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objs) + 1, xref)).encode()
open(path("pages.pdf"), "wb").write(pdf)

with open(path("cjk.txt"), "w") as f:
    f.write("合同 第一行\n日本語の行\n한국어 行\n")
try:
    subprocess.run(["pango-view", "-q", "--font=WenQuanYi Micro Hei 12", "-o", path("cjk.pdf"), path("cjk.txt")], check=True)
except (OSError, subprocess.CalledProcessError) as e:
    print("pango-view (pango1.0-tools) cannot write a PDF: %s" % e)
    sys.exit(3)
os.remove(path("cjk.txt"))

open(path("damaged.docx"), "wb").write(b"PK\x03\x04 this is not a zip archive")
write_zip("broken.xlsx", [("xl/workbook.xml", "<workbook><sheets><sheet name='S' r:id='x'")])
write_zip("cut.odt", [("content.xml", '<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"><office:body><office:text><text:p>合同 before the cut</text:p><text:p>never')])
open(path("truncated.pdf"), "wb").write(pdf[:200])
