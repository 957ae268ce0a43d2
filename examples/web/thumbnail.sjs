// thumbnail.sjs?file=NAME&w=WIDTH[&caption=TEXT]: the picture NAME of
// pictures/ as a JPEG WIDTH pixels wide (16 to 1600, default 200), its
// proportions kept, with an optional caption along the bottom. A width out of
// range answers 400 and a name that is no picture of pictures/ 404, each with
// a sentence that says so.
function Refuse(inStatus, inSentence)
{
  Response.Status = inStatus;
  Response.ContentType = "text/plain; charset=utf-8";
  Response.Write(inSentence);
}

function Thumbnail(inName, inWidth, inCaption)
{
  if (!(inWidth >= 16 && inWidth <= 1600) || Math.floor(inWidth) !== inWidth)
    return Refuse("400 Bad Request", "The width must be a whole number from 16 to 1600.");
  var thePath = Server.MapPath("pictures/" + inName);
  var theGraphic = Server.CreateObject("Tessaline4.Graphic");
  theGraphic.SetFile(thePath);
  if (!theGraphic.Drawable)
    return Refuse("404 Not Found", "There is no picture \"" + inName + "\" in the gallery.");
  var theImage = theGraphic.Item(1);
  var theHeight = Math.max(1, Math.round(inWidth * Number(theImage.Height) / Number(theImage.Width)));

  var theCanvas = Server.CreateObject("Tessaline4.Canvas");
  theCanvas.Width = inWidth;
  theCanvas.Height = theHeight;
  theCanvas.Color = "white";
  theCanvas.DrawFile(thePath, "rect=0,0," + inWidth + "," + theHeight);
  if (inCaption) {
    var theSize = Math.max(8, Math.round(inWidth / 16));
    theCanvas.DrawText(inCaption, "rect=0,0," + inWidth + "," + (theHeight - theSize / 2) +
                       " halign=middle valign=bottom textcolor=white textsize=" + theSize +
                       " textstyle=bold textfont=\"DejaVu Sans\"");
  }
  Response.ContentType = "image/jpeg";
  Response.AddHeader("Cache-Control", "max-age=60");
  Response.BinaryWrite(theCanvas.GetAs("jpeg", "quality=high"));
}

Thumbnail(Request.QueryString("file") || "", Number(Request.QueryString("w") || 200),
          Request.QueryString("caption") || "");
