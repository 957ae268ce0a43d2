Response.Write(Server.CreateObject("TLUtilities4.Settings").QuickTime);
