// pdfjs_text.js - the text of every page of a PDF file as pdf.js (Debian's
// libjs-pdf) extracts it, a line per text line, for the PDF writer's tests.
// Usage: node pdfjs_text.js FILE [PASSWORD]
const fs = require("fs");
const pdfjs = require("/usr/share/javascript/pdf/build/pdf.js");

async function main() {
  const data = new Uint8Array(fs.readFileSync(process.argv[2]));
  const task = pdfjs.getDocument({data, password: process.argv[3] || "", isEvalSupported: false, verbosity: 0});
  const doc = await task.promise;
  for (let n = 1; n <= doc.numPages; n++) {
    const content = await (await doc.getPage(n)).getTextContent();
    console.log(content.items.map((item) => item.str + (item.hasEOL ? "\n" : "")).join(""));
  }
}

main().catch((e) => {
  console.error(String(e));
  process.exit(1);
});
