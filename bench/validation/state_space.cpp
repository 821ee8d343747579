// The state-space surplus-production model as a TMB template, written for
// the independent check of the program's estimator (state_space_check.R).
// Random effects u_t = ln(B_t/K), t = 1..n+1; the smooth floor, the weak
// priors and the optional stated prior on ln sigma_p as in the program's
// description of the model.
#include <TMB.hpp>

template <class Type>
Type objective_function<Type>::operator()() {
  DATA_VECTOR(C);
  DATA_VECTOR(logI);
  DATA_INTEGER(kind);  // 0 Schaefer, 1 Fox, 2 Pella-Tomlinson
  DATA_INTEGER(sigmaPPrior);
  DATA_SCALAR(priorMean);
  DATA_SCALAR(priorSd);
  PARAMETER(logr);
  PARAMETER(logK);
  PARAMETER(logq);
  PARAMETER(logsdp);
  PARAMETER(logsdo);
  PARAMETER(logp);
  PARAMETER(logphi);
  PARAMETER_VECTOR(u);

  const int n = logI.size();
  const Type eps = Type(0.001);
  Type r = exp(logr), K = exp(logK), p = exp(logp);
  Type sdp = exp(logsdp), sdo = exp(logsdo);
  Type nll = Type(0);
  nll -= dnorm(u(0), logphi, sdp, true);
  for (int t = 0; t < n; ++t) {
    Type P = exp(u(t));
    Type g;
    if (kind == 0) g = r * P * (Type(1) - P);
    else if (kind == 1) g = r * P * (-u(t));
    else g = r * P * (Type(1) - exp(p * u(t)));
    Type m = P + g - C(t) / K;
    Type x = m / eps;
    Type xc = CppAD::CondExpGt(x, Type(30), Type(30), x);
    Type soft = eps * log(Type(1) + exp(xc));
    Type mt = CppAD::CondExpGt(x, Type(30), m, soft);
    nll -= dnorm(u(t + 1), log(mt), sdp, true);
    nll -= dnorm(logI(t), logq + logK + u(t), sdo, true);
  }
  nll -= dnorm(logsdp - logsdo, Type(0), Type(2), true);
  if (kind == 2) nll -= dnorm(logp, Type(0), Type(2), true);
  if (sigmaPPrior == 1) nll -= dnorm(logsdp, priorMean, priorSd, true);

  Type logBmsy, logFmsy;
  if (kind == 0) {
    logBmsy = logK - log(Type(2));
    logFmsy = logr - log(Type(2));
  } else if (kind == 1) {
    logBmsy = logK - Type(1);
    logFmsy = logr;
  } else {
    logBmsy = logK - log(Type(1) + p) / p;
    logFmsy = logr + logp - log(Type(1) + p);
  }
  Type logMsy = logBmsy + logFmsy;
  Type logBnext = logK + u(n);
  Type logBnextBmsy = logBnext - logBmsy;
  Type logFlastFmsy = log(C(n - 1)) - logK - u(n - 1) - logFmsy;
  ADREPORT(logMsy);
  ADREPORT(logBmsy);
  ADREPORT(logFmsy);
  ADREPORT(logBnext);
  ADREPORT(logBnextBmsy);
  ADREPORT(logFlastFmsy);
  // ln r, ln K, u_n and u_{n+1} together, for their joint covariance.
  vector<Type> joint(4);
  joint << logr, logK, u(n - 1), u(n);
  ADREPORT(joint);
  return nll;
}
