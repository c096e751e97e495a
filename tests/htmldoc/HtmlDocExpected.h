#pragma once
// The documentation pages as they must come out, written out by hand from their pieces in code
// page 932 bytes, so that the writer is checked against something it did not compute itself.
#include <string>

namespace morvane::test::html {

inline const std::string kSpace3000 = "\x81\x40";                                    // U+3000
inline const std::string kTableList = "\x83\x65\x81\x5B\x83\x75\x83\x8B\x88\xEA\x97\x97";  // テーブル一覧
inline const std::string kMeta = R"(<meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS">)";
inline const std::string kEnd = "\r\n";

inline std::string indexPage(const std::string& title) {
  return "<html> <head> <title>" + title + "</title> " + kMeta + " </head> " +
         R"(<frameset cols="258,*" frameborder="YES" border="1" framespacing="1" rows="*">  )" +
         R"(  <frame name="leftFrame" noresize src="leftframe.htm" scrolling="AUTO"> )" +
         R"(  <frame name="mainFrame" src="rightframe.htm" scrolling="AUTO"> )" + "</frameset> " +
         R"(<noframes><body bgcolor="#FFFFFF" text="#000000"> )" + "</body></noframes> " + "</html> " + kEnd;
}

inline std::string titlePage(const std::string& title) {
  return "<html> <head> <title>" + title + "</title> " + kMeta + " </head> " +
         R"(<body bgcolor="#FFFFFF" text="#996699" link="#3333FF" alink="#0000CC" vlink="#333366"> )" +
         R"(<p align="left"><font size="4"><b><NOBR>)" + title + "</NOBR></b></font></p> " +
         R"(<p><b><font size="4"><a href="https://morvane.example/">https://morvane.example/  )" +
         "  </a></font></b></p> " + "</body> " + "</html> " + kEnd;
}

inline std::string indexHead() {
  return "<html> <head> <title>" + kTableList + "</title> " + kMeta + " </head> " +
         R"(<body bgcolor="#FFFFFF" text="#996699" link="#3333FF" alink="#0000CC" vlink="#333366"> )" +
         R"(<table width="238" border="1" cellspacing="0" cellpadding="2" align="left"> )" + "  <tr>  " +
         R"(    <td bgcolor="#6633CC"><font color="#FFFFFF"><b><font size="3">)" + kTableList +
         "</font></b></font></td> " + "  </tr> ";
}

inline std::string indexLine(const std::string& link, const std::string& name) {
  return std::string("  <tr>  ") + R"(    <td bgcolor="#CCFF99">  )" +
         R"(      <div align="left"><font size="2"><a href=")" + link + R"(.htm" target="mainFrame">)" + name +
         "</a></font></div> " + "    </td> " + "  </tr> ";
}

inline std::string indexFoot() { return "</table><p>" + kSpace3000 + "</p></body></html>" + kEnd; }

inline std::string tableHead(const std::string& name) {
  return "<html> <head> <title>" + name + "</title> " + kMeta + " </head> " +
         R"(<body bgcolor="#FFFFFF" text="#000000"> )" +
         R"(<table width="400" border="2" cellspacing="0" cellpadding="2"> )" +
         R"(  <tr bgcolor="#6633CC" align="center">  )" + R"(    <td align="center" colspan="5">  )" +
         R"(      <div align="left"><font size="3" color="#FFFFFF"><b>)" + name + "</b></font></div> " +
         "    </td> " + "  </tr> " + R"(  <tr bgcolor="#6633CC" align="center">  )" +
         R"(    <td align="center"><b><font color="white" size="2">Field</font></b></td> )" +
         R"(    <td><b><font color="white" size="2">Attribute</font></b></td> )" +
         R"(    <td><b><font color="white" size="2">Size</font></b></td> )" +
         R"(    <td><b><font color="white" size="2">Null</font></b></td> )" +
         R"(    <td><b><font color="white" size="2">PrimaryKey</font></b></td> )" + "  </tr> ";
}

inline std::string fieldRow(const std::string& field, const std::string& attr, const std::string& size,
                            const std::string& null, const std::string& key) {
  std::string row = std::string(R"(  <tr bgcolor="#CCFF99">  )") + R"(    <td align="center">  )" +
                    R"(      <div align="center"><font size="2">)" + field + "</font></div> " + "    </td> ";
  for (const std::string* cell : {&attr, &size, &null, &key}) {
    row += std::string("    <td>  ") + R"(      <div align="center"><font size="2">)" + *cell +
           "</font></div> " + "    </td> ";
  }
  return row + "  </tr> ";
}

inline std::string tableFoot() { return "</table></body></html>" + kEnd; }

}  // namespace morvane::test::html
