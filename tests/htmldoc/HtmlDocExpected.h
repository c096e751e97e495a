#pragma once
// The documentation pages as they must come out, written out by hand from their pieces in code
// page 932 bytes, so that the writer is checked against something it did not compute itself.
#include <string>

namespace morvane::test::html {

inline const std::string kSpace3000 = "\x81\x40";                                          // U+3000
inline const std::string kTableList = "\x83\x65\x81\x5B\x83\x75\x83\x8B\x88\xEA\x97\x97";  // テーブル一覧

inline std::string head(const std::string& title) {
  return "<html> <head> <title>" + title + "</title> " +
         R"(<meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS"> </head> )";
}
inline const std::string kListBody =
    R"(<body bgcolor="#FFFFFF" text="#996699" link="#3333FF" alink="#0000CC" vlink="#333366"> )";

inline std::string indexPage(const std::string& title) {
  return head(title) + R"(<frameset cols="258,*" frameborder="YES" border="1" framespacing="1" rows="*">  )" +
         R"(  <frame name="leftFrame" noresize src="leftframe.htm" scrolling="AUTO"> )" +
         R"(  <frame name="mainFrame" src="rightframe.htm" scrolling="AUTO"> </frameset> )" +
         R"(<noframes><body bgcolor="#FFFFFF" text="#000000"> </body></noframes> </html> )" + "\r\n";
}

inline std::string titlePage(const std::string& title) {
  return head(title) + kListBody + R"(<p align="left"><font size="4"><b><NOBR>)" + title + "</NOBR></b></font></p> " +
         R"(<p><b><font size="4"><a href="https://morvane.example/">https://morvane.example/  )" +
         "  </a></font></b></p> </body> </html> \r\n";
}

// The list page: its lines as (link, name).
inline std::string listPage(const std::vector<std::pair<std::string, std::string>>& lines) {
  std::string page = head(kTableList) + kListBody +
                     R"(<table width="238" border="1" cellspacing="0" cellpadding="2" align="left">   <tr>  )" +
                     R"(    <td bgcolor="#6633CC"><font color="#FFFFFF"><b><font size="3">)" + kTableList +
                     "</font></b></font></td>   </tr> ";
  for (const auto& [link, name] : lines) {
    page += R"(  <tr>      <td bgcolor="#CCFF99">        <div align="left"><font size="2"><a href=")" + link +
            R"(.htm" target="mainFrame">)" + name + "</a></font></div>     </td>   </tr> ";
  }
  return page + "</table><p>" + kSpace3000 + "</p></body></html>\r\n";
}

// A table's page: its rows of five cells (field, attribute, size, null, key).
inline std::string tablePage(const std::string& name, const std::vector<std::vector<std::string>>& rows) {
  std::string page = head(name) + R"(<body bgcolor="#FFFFFF" text="#000000"> )" +
                     R"(<table width="400" border="2" cellspacing="0" cellpadding="2"> )" +
                     R"(  <tr bgcolor="#6633CC" align="center">      <td align="center" colspan="5">  )" +
                     R"(      <div align="left"><font size="3" color="#FFFFFF"><b>)" + name + "</b></font></div> " +
                     R"(    </td>   </tr>   <tr bgcolor="#6633CC" align="center">  )" +
                     R"(    <td align="center"><b><font color="white" size="2">Field</font></b></td> )";
  for (const char* heading : {"Attribute", "Size", "Null", "PrimaryKey"}) {
    page += std::string(R"(    <td><b><font color="white" size="2">)") + heading + "</font></b></td> ";
  }
  page += "  </tr> ";
  for (const auto& row : rows) {
    page += R"(  <tr bgcolor="#CCFF99">  )";
    for (std::size_t i = 0; i < row.size(); ++i) {
      page += std::string(i == 0 ? R"(    <td align="center">  )" : "    <td>  ") +
              R"(      <div align="center"><font size="2">)" + (row[i].empty() ? kSpace3000 : row[i]) +
              "</font></div>     </td> ";
    }
    page += "  </tr> ";
  }
  return page + "</table></body></html>\r\n";
}

}  // namespace morvane::test::html
