// The form's answer: the chosen picture at the chosen width with its caption.
function Escaped(inText)
{
  return String(inText).replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;")
                       .replace(/"/g, "&quot;").replace(/'/g, "&#39;");
}

var theFile = Request.Form("file") || Request.QueryString("file") || "";
var theWidth = Request.Form("w") || Request.QueryString("w") || "400";
var theCaption = Request.Form("caption") || Request.QueryString("caption") || "";
var theSource = "thumbnail.sjs?file=" + encodeURIComponent(theFile) + "&w=" + encodeURIComponent(theWidth) +
                "&caption=" + encodeURIComponent(theCaption);
Response.Write("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + Escaped(theFile) +
               "</title><link rel=\"stylesheet\" href=\"style.css\"></head><body>\n" +
               "<h1>" + Escaped(theCaption || theFile) + "</h1>\n" +
               "<p><img src=\"" + Escaped(theSource) + "\" alt=\"" + Escaped(theFile) + "\"></p>\n" +
               "<p><a href=\"index.html\">Back to the gallery</a></p>\n</body></html>\n");
