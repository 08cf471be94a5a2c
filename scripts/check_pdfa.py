#!/usr/bin/env python3
"""Checks a PDF against the PDF/A-2b rules Vorel's PDF writer could break.

Debian has no PDF/A validator, so this reads the file with qpdf (structure,
objects), xmllint (the XMP packet) and pdffonts (embedding) and checks:

  - header: %PDF-1.0 .. %PDF-1.7, then a comment of at least four bytes
    above 127;
  - qpdf --check passes: cross-reference table and every stream's /Length;
  - trailer: an /ID of two strings; no /Encrypt;
  - catalogue /Metadata: a /Type /Metadata /Subtype /XML stream without
    filters, well-formed XML, pdfaid:part 2 and pdfaid:conformance B,
    xmp:CreateDate and xmp:ModifyDate equal to the information's
    /CreationDate and /ModDate, xmp:MetadataDate present, and title,
    author, subject, keywords, creator and producer equal to the
    information's entries;
  - catalogue /OutputIntents: one with /S /GTS_PDFA1 whose
    /DestOutputProfile is an ICC stream with /N 3;
  - no stream filtered with LZWDecode; no /JS or /JavaScript; no
    transparency group; no /Encrypt;
  - every font embedded (pdffonts' "emb" column).

Usage: check_pdfa.py FILE.pdf
Prints one line per broken rule and exits 1, or "PDF/A-2b checks passed"
and exits 0; exits 2 when a tool is missing or the file cannot be read.
"""

import json
import re
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ET

NS = {
    "rdf": "http://www.w3.org/1999/02/22-rdf-syntax-ns#",
    "pdfaid": "http://www.aiim.org/pdfa/ns/id/",
    "dc": "http://purl.org/dc/elements/1.1/",
    "xmp": "http://ns.adobe.com/xap/1.0/",
    "pdf": "http://ns.adobe.com/pdf/1.3/",
}


def run(*args):
    return subprocess.run(args, capture_output=True)


def text_value(value):
    """A qpdf JSON string ("u:text" or "b:hex") as text."""
    if isinstance(value, str) and value.startswith("u:"):
        return value[2:]
    if isinstance(value, str) and value.startswith("b:"):
        return bytes.fromhex(value[2:]).decode("latin-1")
    return value


def pdf_date_to_xmp(date):
    """D:YYYYMMDDHHmmSS+HH'mm' -> YYYY-MM-DDTHH:mm:SS+HH:mm (None if not so)."""
    m = re.fullmatch(r"D:(\d{4})(\d{2})(\d{2})(\d{2})(\d{2})(\d{2})([+-])(\d{2})'(\d{2})'?", date or "")
    if not m:
        return None
    y, mo, d, h, mi, s, sign, oh, om = m.groups()
    return f"{y}-{mo}-{d}T{h}:{mi}:{s}{sign}{oh}:{om}"


class Checker:
    def __init__(self, path):
        self.path = path
        self.complaints = []
        self.objects = {}

    def fail(self, message):
        self.complaints.append(message)

    def resolve(self, value):
        """The object a reference names ("5 0 R"), or the value itself."""
        if isinstance(value, str) and re.fullmatch(r"\d+ \d+ R", value):
            return self.objects.get("obj:" + value, {})
        return {"value": value}

    def dictionary(self, value):
        obj = self.resolve(value)
        if "stream" in obj:
            return obj["stream"]["dict"]
        return obj.get("value") if isinstance(obj.get("value"), dict) else {}

    def check_header(self):
        with open(self.path, "rb") as f:
            head = f.read(64)
        lines = re.split(rb"\r\n|\r|\n", head)
        if not re.fullmatch(rb"%PDF-1\.[0-7]", lines[0]):
            self.fail(f"header {lines[0][:12]!r}: PDF/A-2 wants %PDF-1.0 to %PDF-1.7")
        second = lines[1] if len(lines) > 1 else b""
        if not (second.startswith(b"%") and sum(1 for b in second[1:] if b > 127) >= 4):
            self.fail("the second line is no comment of four bytes above 127")

    def check_structure(self):
        r = run("qpdf", "--check", self.path)
        output = (r.stdout + r.stderr).decode("utf-8", "replace")
        if r.returncode != 0 or "WARNING" in output:
            self.fail("qpdf --check: " + " ".join(output.split())[:400])

    def load(self):
        r = run("qpdf", "--json", "--json-key=qpdf", self.path)
        if r.returncode not in (0, 3):
            return False
        self.objects = json.loads(r.stdout)["qpdf"][1]
        return True

    def check_trailer(self):
        trailer = self.objects.get("trailer", {}).get("value", {})
        ids = trailer.get("/ID")
        if not (isinstance(ids, list) and len(ids) == 2 and all(isinstance(i, str) for i in ids)):
            self.fail("the trailer has no /ID of two strings")
        if "/Encrypt" in trailer:
            self.fail("the file is encrypted")
        return trailer

    def check_everywhere(self):
        """Rules that hold for every object: filters, scripts, transparency."""

        def walk(value, where):
            if isinstance(value, dict):
                for key, item in value.items():
                    if key in ("/JS", "/JavaScript"):
                        self.fail(f"{where} holds {key}")
                    if key == "/S" and item in ("/JavaScript", "/Transparency"):
                        self.fail(f"{where} is a {item[1:]} " + ("group" if item == "/Transparency" else "action"))
                    if key == "/Filter" and "/LZWDecode" in (item if isinstance(item, list) else [item]):
                        self.fail(f"{where} is LZW-compressed, which PDF/A forbids")
                    walk(item, where)
            elif isinstance(value, list):
                for item in value:
                    walk(item, where)

        for key, obj in self.objects.items():
            walk(obj.get("stream", {}).get("dict", obj.get("value")), key)

    def check_metadata(self, catalog, info):
        if "/Metadata" not in catalog:
            self.fail("the catalogue has no /Metadata")
            return
        ref = catalog["/Metadata"]
        meta = self.dictionary(ref)
        if meta.get("/Type") != "/Metadata" or meta.get("/Subtype") != "/XML":
            self.fail("/Metadata is no /Type /Metadata /Subtype /XML stream")
        if "/Filter" in meta:
            self.fail("the XMP stream is compressed")
        number = ref.split()[0]
        data = run("qpdf", f"--show-object={number}", "--raw-stream-data", self.path).stdout
        lint = subprocess.run(["xmllint", "--noout", "-"], input=data, capture_output=True)
        if lint.returncode != 0:
            self.fail("the XMP is not well-formed XML: " + " ".join(lint.stderr.decode("utf-8", "replace").split())[:300])
            return
        root = ET.fromstring(data.decode("utf-8").split("?>", 1)[1].rsplit("<?xpacket", 1)[0])

        def value(path):
            found = root.find(".//" + path, NS)
            return None if found is None else (found.text or "")

        if value("pdfaid:part") != "2":
            self.fail(f"pdfaid:part is {value('pdfaid:part')!r}, not 2")
        if value("pdfaid:conformance") != "B":
            self.fail(f"pdfaid:conformance is {value('pdfaid:conformance')!r}, not B")
        for key, path in (("/CreationDate", "xmp:CreateDate"), ("/ModDate", "xmp:ModifyDate")):
            wanted = pdf_date_to_xmp(text_value(info.get(key)))
            if wanted is None:
                self.fail(f"the information's {key} {info.get(key)!r} is no date with a UTC offset")
            elif value(path) != wanted:
                self.fail(f"{path} {value(path)!r} differs from the information's {key} ({wanted})")
        if not value("xmp:MetadataDate"):
            self.fail("the XMP has no xmp:MetadataDate")
        for key, path in (
            ("/Title", "dc:title/rdf:Alt/rdf:li"),
            ("/Author", "dc:creator/rdf:Seq/rdf:li"),
            ("/Subject", "dc:description/rdf:Alt/rdf:li"),
            ("/Keywords", "pdf:Keywords"),
            ("/Creator", "xmp:CreatorTool"),
            ("/Producer", "pdf:Producer"),
        ):
            if key in info and text_value(info[key]) != (value(path) or ""):
                self.fail(f"{path} {value(path)!r} differs from the information's {key} {text_value(info[key])!r}")

    def check_output_intent(self, catalog):
        intents = self.resolve(catalog.get("/OutputIntents")).get("value") or []
        for intent in intents:
            d = self.dictionary(intent)
            if d.get("/S") != "/GTS_PDFA1":
                continue
            profile = self.dictionary(d.get("/DestOutputProfile"))
            if profile.get("/N") != 3:
                self.fail("the PDF/A output intent's profile has no /N 3")
            return
        self.fail("the catalogue has no /OutputIntents entry with /S /GTS_PDFA1")

    def check_fonts(self):
        r = run("pdffonts", self.path)
        lines = r.stdout.decode("utf-8", "replace").splitlines()
        if r.returncode != 0 or len(lines) < 2:
            self.fail("pdffonts cannot read the file")
            return
        # The column under the dashes that follow "emb" in the heading.
        columns = [m.span() for m in re.finditer(r"-+", lines[1])]
        emb = next(i for i, (a, _) in enumerate(columns) if lines[0][a:].startswith("emb"))
        for line in lines[2:]:
            a, b = columns[emb]
            if line[a:b].strip() != "yes":
                self.fail(f"font not embedded: {line[:columns[0][1]].strip()}")

    def run(self):
        self.check_header()
        self.check_structure()
        if not self.load():
            self.fail("qpdf cannot read the objects")
            return self.complaints
        trailer = self.check_trailer()
        catalog = self.dictionary(trailer.get("/Root"))
        info = self.dictionary(trailer.get("/Info"))
        self.check_everywhere()
        self.check_metadata(catalog, info)
        self.check_output_intent(catalog)
        self.check_fonts()
        return self.complaints


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[-3], file=sys.stderr)
        return 2
    for tool in ("qpdf", "xmllint", "pdffonts"):
        if not shutil.which(tool):
            print(f"check_pdfa: {tool} is not installed (Debian: qpdf, libxml2-utils, poppler-utils)", file=sys.stderr)
            return 2
    try:
        complaints = Checker(sys.argv[1]).run()
    except OSError as e:
        print(f"check_pdfa: {e}", file=sys.stderr)
        return 2
    for complaint in complaints:
        print(complaint)
    if complaints:
        return 1
    print("PDF/A-2b checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
