#pragma once
// The base of every canvas operation. A canvas method builds one on its
// stack and drives it in this order:
//
//   EraseCanvas theOp;                                   // label, timing starts
//   SetupOp(theOp);                                      // canvas defaults into GetParams()
//   ... the subclass's setters (each logs its argument with AddLogParam) ...
//   theOp.SetParameters(theText);                        // the script's keywords win
//   theOp.Run(mWorld, &mCanvasLog);
//   if (theOp.GetError()->HasError()) ... report GetError()->GetText() ...
//
// Run logs the canvas figures into the description, adds the description to
// the error object as its context (so every error text names the operation,
// its arguments, its parameters and the canvas), stops on a parse error,
// takes the target rectangle, runs as the user the parameters name (when the
// preference EnableImpersonation allows it), calls DoIt and gives the canvas
// log's ID and memory figure to the logs. Whatever DoIt raises ends as text
// or codes in the error object: an HRESULT of the COM support classes, a
// hardware fault (also logged as a fatal event, which ends the process unless
// the preference AutoRecover is on), or "Unknown exception thrown". Every
// exit of Run, those included, ends the impersonation it began.
//
// The value of the password keyword never leaves the operation: the
// description shows it as "****", and a parse error quotes a masked copy.
//
// The destructor writes the Operation.log line (and SaveAs.log line) of the
// operation's OperationLog.

#include "core/Error.h"
#include "core/Impersonator.h"
#include "core/OperationLog.h"
#include "core/Parameters.h"
#include "platform/base/WinTypes.h"

#include <memory>
#include <string>
#include <string_view>

class Bitmap;
class CanvasLog;

class Operation {
public:
  // inLabel names the operation ("Erase Canvas:"; empty for an inner one).
  explicit Operation(const char* inLabel);
  virtual ~Operation();
  Operation(const Operation&) = delete;
  Operation& operator=(const Operation&) = delete;

  // Appends " <name>={<value>}" to the description.
  virtual void AddLogParam(const char* inName, const char* inValue);
  // Logs the text as "Parameters" and parses it into the record; the
  // parser's code (0 = good). A parse error is taken up by Run. The text is
  // taken whole, so that a NUL inside it is refused rather than cut at.
  virtual LONG SetParameters(std::string_view inText);

  // Still owned by the operation; null only when memory ran out.
  virtual Error* GetError() { return mError.get(); }
  virtual Parameters* GetParams() { return mParams.get(); }
  // The caller takes over the object; the operation holds none after.
  virtual std::unique_ptr<Error> DetachError() { return std::move(mError); }
  virtual std::unique_ptr<Parameters> DetachParams() { return std::move(mParams); }
  // The present object is deleted and the given one taken over.
  virtual void ReplaceError(std::unique_ptr<Error> inError) { mError = std::move(inError); }
  virtual void ReplaceParams(std::unique_ptr<Parameters> inParams) { mParams = std::move(inParams); }
  // While false, the operation never impersonates.
  virtual void AllowImpersonation(bool inAllow) { mCanImpersonate = inAllow; }

  // The guarded run on the canvas pixels. inLog is the canvas's log, or null
  // (inner operations and scratch bitmaps), which then gets no memory figure
  // and gives the operation no canvas ID. The outcome is in GetError().
  virtual void Run(Bitmap& inWorld, CanvasLog* inLog);
  // The target rectangle, set by Run before the work.
  virtual RECT GetRect() const { return mRect; }

protected:
  // The subclass's work; it reports failure through the error object (the
  // result is not read).
  virtual LONG DoIt(Bitmap& inWorld) = 0;
  // Runs the calling thread as inName when the preference EnableImpersonation
  // allows it; an empty name does nothing.
  virtual void Impersonate(const std::string& inName, const std::string& inPass, const std::string& inDomain);
  virtual void Revert();
  virtual void ReportImpersonationFailure();

  std::unique_ptr<Parameters> mParams;
  std::unique_ptr<Error> mError;
  RECT mRect{0, 0, 0, 0};
  OperationLog mOpLog;

private:
  // The steps of Run inside its guard.
  void RunGuarded(Bitmap& inWorld, CanvasLog* inLog);

  bool mCanImpersonate = true;
  bool mImpersonating = false;
  Impersonator mImpersonator;
  std::string mDescription;
};
