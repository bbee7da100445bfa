// formseed.cpp - writes the seeds the forms' fuzz targets get from the
// writers: the sample form saved as QOF (into the QOF reader's corpus) and as
// XML in each mode, and hand-written XML forms of every owner kind, of
// NetObject named properties, of events-only text and of refused content
// (into the XML form reader's corpus).
// Usage: forms_writer_seed QOF_DIRECTORY XML_DIRECTORY
#include <cstdio>
#include <string>
#include <vector>

#include "forms/formwrite.h"
#include "forms/formxml.h"
#include "forms/writefake.h"
#include "session/util/xml.h"

static void Write(const std::string& path, const void* bytes, size_t n) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return;
    fwrite(bytes, 1, n, f);
    fclose(f);
}

static void WriteText(const std::string& path, const std::string& text) { Write(path, text.data(), text.size()); }

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    std::string qofDir = argv[1], xmlDir = argv[2];
    {
        writefake::Sample sample;
        sample.form.ctx.makeGuid = writefake::FixedGuid;
        uint8_t* data = nullptr;
        size_t size = 0;
        if (!FormFileWrite(&sample.form.ctx, true, &data, &size)) return 1;
        Write(qofDir + "/writer-sample", data, size);
        GuardedFree(data);
        const struct {
            XmlFormSaveMode mode;
            const char* name;
        } modes[] = {{kXmlSaveFull, "sample-full"}, {kXmlSaveObjects, "sample-objects"},
                     {kXmlSaveNamesEvents, "sample-events"}};
        for (const auto& m : modes) {
            XmlWriter w;
            XmlWriterInit(&w);
            w.flags = kXmlIndent | kXmlConvertUtf8;
            if (XmlWriteOpen(&w, (xmlDir + "/" + m.name).c_str()) != 0) return 1;
            if (!XmlFormSave(&sample.form.ctx, &w, m.mode, false)) return 1;
        }
    }
    WriteText(xmlDir + "/owners",
              "<QOFORM><Header><NamePrefix>Hand</NamePrefix><IsWebForm>TRUE</IsWebForm></Header>"
              "<Object type=\"Window\"><Properties><Name>W</Name><WinType>3</WinType><Theme>dark</Theme></Properties>"
              "<Events><Load>Init</Load><Click> MESSAGE 1</Click></Events></Object>"
              "<Object type=\"Panel\"><Properties><Name>P</Name></Properties></Object>"
              "<Object type=\"EditText\"><Properties><Name>E</Name><Window>P</Window><Text></Text>"
              "<PasswordChar>*</PasswordChar></Properties></Object>"
              "<Object type=\"StatusBar\"><Properties><Name>S</Name></Properties>"
              "<Object type=\"StatusPanel\"><Properties><Text>Ready</Text><Width>80</Width></Properties></Object>"
              "</Object><Object type=\"ToolBar\"><Properties><Name>T</Name></Properties>"
              "<Object type=\"ToolButton\"><Properties><Text>New</Text></Properties></Object></Object>"
              "<Object type=\"SubMenu\"><Properties><Name>Sub</Name></Properties>"
              "<Object type=\"MenuItem\"><Properties><Text>Wrap</Text></Properties></Object></Object>"
              "<Object type=\"Menu\"><Properties><Name>Bar</Name></Properties>"
              "<Object type=\"MenuItem\"><Properties><Text>Opts</Text><SubMenu>Sub</SubMenu></Properties></Object>"
              "</Object><Object type=\"Code\"><Code><![CDATA[Init:\n RETURN\n]]></Code></Object>"
              "<Resource><Type>3</Type><SubType>0</SubType><Id>7</Id><Name>Dot</Name><Size>3</Size>"
              "<Data>QUJD</Data></Resource></QOFORM>");
    WriteText(xmlDir + "/netobject",
              "<QOFORM><Object type=\"Window\"><Properties><Name>W</Name></Properties></Object>"
              "<Object type=\"NetObject\"><Properties><Name>N</Name><Name>second</Name><Assembly>a.dll</Assembly>"
              "<Clsid>{1}</Clsid><Colour>red</Colour><Doc><![CDATA[<?xml version=\"1.0\"?><x/>]]></Doc>"
              "</Properties></Object></QOFORM>");
    WriteText(xmlDir + "/refused",
              "<QOFORM><Object type=\"Window\"><Properties><Name>W</Name></Properties></Object>"
              "<Resource><Size>9</Size><Data>QUJD</Data></Resource></QOFORM>");
    return 0;
}
