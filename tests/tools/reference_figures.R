# The reference figures of the data sets in data/reference (the "#=" lines of each file), from R
# and its survival package (Debian: r-base-core r-cran-survival). Run from the repository:
#   Rscript tests/tools/reference_figures.R
# The sets carry comment lines: scan and read.table skip them.
library(survival)
options(digits=12)
ctl <- survreg.control(rel.tolerance=1e-13, maxiter=200)
strength <- function(file) {
  s <- scan(file, quiet=TRUE, comment.char="#")
  fit <- survreg(Surv(s) ~ 1, dist="weibull", control=ctl)
  cat(file, "\n")
  cat("n", length(s), "\n")
  cat("weibull_m", format(1/fit$scale, digits=12), "\n")
  cat("weibull_sigma0_MPa", format(exp(coef(fit)[[1]]), digits=12), "\n")
  cat("mean_MPa", format(mean(s), digits=12), "\n")
  cat("sd_MPa", format(sd(s), digits=12), "\n")
  cat("median_MPa", format(median(s), digits=12), "\n")
  cat("min_MPa", min(s), "max_MPa", max(s), "\n")
  x <- log(sort(s)); n <- length(s); F <- ((1:n) - 0.3)/(n + 0.4); y <- log(-log(1-F))
  l <- lm(y ~ x)
  m <- coef(l)[[2]]
  cat("weibull_m_regression", format(m, digits=12), "\n")
  cat("weibull_sigma0_regression_MPa", format(exp(-coef(l)[[1]]/m), digits=12), "\n")
}
strength("data/reference/glass-fibres-1.5cm-strength-MPa.txt")
strength("data/reference/carbon-fibres-20mm-strength-MPa.txt")
d <- read.table("data/reference/alloy-t7987-fatigue-life-kcycles.txt", col.names=c("t","status"), comment.char="#")
ev <- as.integer(d$status == "failure")
fit <- survreg(Surv(d$t, ev) ~ 1, dist="weibull", control=ctl)
cat("alloy n", nrow(d), "failures", sum(ev), "\n")
cat("weibull_m", format(1/fit$scale, digits=12), "\n")
cat("weibull_t0", format(exp(coef(fit)[[1]]), digits=12), "\n")
km <- survfit(Surv(d$t, ev) ~ 1)
print(summary(km)$table)
print(quantile(km, 0.5))
cat(R.version.string, " survival ", format(packageVersion("survival")), "\n")
