function assert_refused(call, message)
% Fails unless CALL() raises an error whose message ends with MESSAGE: Octave
% puts the function's name in front of what a MEX file refuses with.
  try
    call();
  catch err
    if (! endsWith(err.message, message))
      error('refused with "%s", expected a message ending "%s"', err.message, message);
    end
    return;
  end
  error('accepted; expected a refusal ending "%s"', message);
end
