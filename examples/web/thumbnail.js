// thumbnail.js?file=NAME&w=WIDTH[&caption=TEXT]: the picture NAME of
// pictures/ as a JPEG WIDTH pixels wide (16 to 1600, default 200), its
// proportions kept, with an optional caption along the bottom.
var theName = Request.QueryString("file") || "";
var theWidth = Number(Request.QueryString("w") || 200);
var theCaption = Request.QueryString("caption") || "";
if (!(theWidth >= 16 && theWidth <= 1600) || Math.floor(theWidth) !== theWidth) {
  Response.Status = "400 Bad Request";
  Response.Write("The width must be a whole number from 16 to 1600.");
} else {
  var thePath = Server.MapPath("pictures/" + theName);
  var theGraphic = Server.CreateObject("Tessaline4.Graphic");
  theGraphic.SetFile(thePath);
  var theImage = theGraphic.Item(1);
  var theHeight = Math.max(1, Math.round(theWidth * Number(theImage.Height) / Number(theImage.Width)));

  var theCanvas = Server.CreateObject("Tessaline4.Canvas");
  theCanvas.Width = theWidth;
  theCanvas.Height = theHeight;
  theCanvas.Color = "white";
  theCanvas.DrawFile(thePath, "rect=0,0," + theWidth + "," + theHeight);
  if (theCaption) {
    var theSize = Math.max(8, Math.round(theWidth / 16));
    theCanvas.DrawText(theCaption, "rect=0,0," + theWidth + "," + (theHeight - theSize / 2) +
                       " halign=middle valign=bottom textcolor=white textsize=" + theSize +
                       " textstyle=bold textfont=\"DejaVu Sans\"");
  }
  Response.ContentType = "image/jpeg";
  Response.AddHeader("Cache-Control", "max-age=60");
  Response.BinaryWrite(theCanvas.GetAs("jpeg", "quality=high"));
}
